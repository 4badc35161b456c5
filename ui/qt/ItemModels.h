// Models behind TreeView1 and ListView1. They hold names (cp932) and image
// numbers only; texts are converted for display when a view asks for them.
#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "ui/FormDescription.h"

// ImageList1: the four 16 x 16 images of the tree and the list.
class TImageList : public QObject {
    Q_OBJECT
  public:
    explicit TImageList(QObject* parent = nullptr);
    static constexpr int kCount = 4;
    const QIcon& Icon(int index) const;
    // Normal image and, when the item is selected, another one.
    const QIcon& Icon(int index, int selectedIndex) const;

  private:
    std::array<QIcon, kCount> icons_;
    QIcon groupNodeIcon_;  // 0, selected 3
};

// Roles the models answer besides the usual ones.
enum TItemRole {
    kImageIndexRole = Qt::UserRole + 1,  // int
    kSelectedImageIndexRole,             // int (tree only)
};

class TListModel : public QAbstractTableModel {
  public:
    struct TRow {
        std::string Caption;  // cp932
        std::string Second;   // cp932
        int Image = 0;
    };

    TListModel(const TImageList& images, QObject* parent = nullptr);

    void SetRows(std::vector<TRow> rows);
    // Adds rows at the end.
    void AppendRows(std::vector<TRow> rows);
    void Clear();
    const std::vector<TRow>& Rows() const { return rows_; }
    void SetColumnCaption(int column, const QString& caption);
    QString ColumnCaption(int column) const { return captions_.at(column); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const TImageList& images_;
    std::vector<TRow> rows_;
    std::array<QString, 2> captions_;
};

class TTreeModel : public QAbstractItemModel {
  public:
    struct TNode {
        std::string Name;  // cp932
        int Parent = -1;
        int Row = 0;  // position among its siblings
        int Image = 0;
        int SelectedImage = 0;
        std::vector<int> Children;
    };

    TTreeModel(const TImageList& images, QObject* parent = nullptr);

    // Nodes are added between BeginBuild and EndBuild, which resets the views once.
    void BeginBuild();
    int AddNode(int parent, std::string name, int image, int selectedImage);
    void EndBuild();
    void Clear();

    // Nodes in tree order: root first, each node before its children.
    const std::vector<TNode>& Nodes() const { return nodes_; }
    QModelIndex IndexOf(int node) const;
    static int NodeOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const TImageList& images_;
    std::vector<TNode> nodes_;
    std::vector<int> topLevel_;
    bool building_ = false;
};
