// Answering Qt's modal dialogs from inside their own event loop.
#pragma once

#include <functional>

class QFileDialog;

// Runs open, which shows a modal file dialog, and hands that dialog to answer
// as soon as it is up. Gives up after ten seconds, rejecting whatever modal
// widget is open then. True when answer ran.
bool AnswerFileDialog(const std::function<void()>& open,
                      const std::function<void(QFileDialog*)>& answer);
