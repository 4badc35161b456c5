// What every test of the Qt windows sets up: a scratch directory holding the
// preferences file, reports recorded instead of shown, fresh preferences.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>

#include "tests/support/TestFiles.h"

class TQtWindowScope {
  public:
    TQtWindowScope();
    ~TQtWindowScope();
    TQtWindowScope(const TQtWindowScope&) = delete;
    TQtWindowScope& operator=(const TQtWindowScope&) = delete;

    const std::filesystem::path& Dir() const { return temp_.path(); }
    // Where the window reads and writes its preferences.
    std::filesystem::path Ini() const { return temp_.path() / "quorvantel.ini"; }
    // The messages the windows reported, as the report shows them.
    QStringList Reports;

  private:
    TempDir temp_;
};
