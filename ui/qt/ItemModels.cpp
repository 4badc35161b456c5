#include "ui/qt/ItemModels.h"

#include <QPixmap>

#include "ui/qt/UiText.h"

// ---- TImageList

TImageList::TImageList(QObject* parent) : QObject(parent) {
    for (int i = 0; i < kCount; ++i) {
        const QPixmap pixmap(QStringLiteral(":/quorvantel/images/image%1.png").arg(i));
        for (QIcon::State state : {QIcon::Off, QIcon::On}) {
            icons_[i].addPixmap(pixmap, QIcon::Normal, state);
            icons_[i].addPixmap(pixmap, QIcon::Selected, state);
        }
    }
    // A group node shows the open folder while it is selected.
    const auto pixmap = [](int index) {
        return QPixmap(QStringLiteral(":/quorvantel/images/image%1.png").arg(index));
    };
    const QPixmap closed = pixmap(kImageGroup);
    const QPixmap open = pixmap(kImageGroupOpen);
    for (QIcon::State state : {QIcon::Off, QIcon::On}) {
        groupNodeIcon_.addPixmap(closed, QIcon::Normal, state);
        groupNodeIcon_.addPixmap(open, QIcon::Selected, state);
    }
}

const QIcon& TImageList::Icon(int index) const {
    return icons_.at(static_cast<size_t>(index));
}

const QIcon& TImageList::Icon(int index, int selectedIndex) const {
    if (index == kImageGroup && selectedIndex == kImageGroupOpen) {
        return groupNodeIcon_;
    }
    return Icon(index);
}

// ---- TListModel

TListModel::TListModel(const TImageList& images, QObject* parent)
    : QAbstractTableModel(parent), images_(images) {}

void TListModel::SetRows(std::vector<TRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void TListModel::Clear() {
    SetRows({});
}

void TListModel::AppendRows(std::vector<TRow> rows) {
    if (rows.empty()) {
        return;
    }
    if (rows_.empty()) {
        SetRows(std::move(rows));
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    endInsertRows();
}

void TListModel::SetColumnCaption(int column, const QString& caption) {
    captions_.at(static_cast<size_t>(column)) = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int TListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
        return {};
    }
    const TRow& row = rows_[static_cast<size_t>(index.row())];
    const bool first = index.column() == 0;
    switch (role) {
        case Qt::DisplayRole:
            return FromCp932(first ? row.Caption : row.Second);
        case Qt::DecorationRole:
            return first ? QVariant(images_.Icon(row.Image)) : QVariant();
        case kImageIndexRole:
            return first ? QVariant(row.Image) : QVariant();
        default:
            return {};
    }
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2) {
        return captions_[static_cast<size_t>(section)];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

// ---- TTreeModel

TTreeModel::TTreeModel(const TImageList& images, QObject* parent)
    : QAbstractItemModel(parent), images_(images) {}

void TTreeModel::BeginBuild() {
    beginResetModel();
    building_ = true;
    nodes_.clear();
    topLevel_.clear();
}

int TTreeModel::AddNode(int parent, std::string name, int image, int selectedImage) {
    const int id = static_cast<int>(nodes_.size());
    std::vector<int>& siblings =
        parent < 0 ? topLevel_ : nodes_[static_cast<size_t>(parent)].Children;
    TNode node;
    node.Name = std::move(name);
    node.Parent = parent;
    node.Row = static_cast<int>(siblings.size());
    node.Image = image;
    node.SelectedImage = selectedImage;
    siblings.push_back(id);
    nodes_.push_back(std::move(node));
    return id;
}

void TTreeModel::EndBuild() {
    building_ = false;
    endResetModel();
}

void TTreeModel::Clear() {
    BeginBuild();
    EndBuild();
}

QModelIndex TTreeModel::IndexOf(int node) const {
    if (node < 0 || node >= static_cast<int>(nodes_.size())) {
        return {};
    }
    return createIndex(nodes_[static_cast<size_t>(node)].Row, 0, static_cast<quintptr>(node));
}

int TTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex TTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (building_ || column != 0 || row < 0) {
        return {};
    }
    const std::vector<int>& siblings =
        parent.isValid() ? nodes_[static_cast<size_t>(NodeOf(parent))].Children : topLevel_;
    if (row >= static_cast<int>(siblings.size())) {
        return {};
    }
    return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<size_t>(row)]));
}

QModelIndex TTreeModel::parent(const QModelIndex& child) const {
    if (building_ || !child.isValid()) {
        return {};
    }
    return IndexOf(nodes_[static_cast<size_t>(NodeOf(child))].Parent);
}

int TTreeModel::rowCount(const QModelIndex& parent) const {
    if (building_) {
        return 0;
    }
    if (!parent.isValid()) {
        return static_cast<int>(topLevel_.size());
    }
    return static_cast<int>(nodes_[static_cast<size_t>(NodeOf(parent))].Children.size());
}

int TTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TTreeModel::data(const QModelIndex& index, int role) const {
    if (building_ || !index.isValid()) {
        return {};
    }
    const TNode& node = nodes_[static_cast<size_t>(NodeOf(index))];
    switch (role) {
        case Qt::DisplayRole:
            return FromCp932(node.Name);
        case Qt::DecorationRole:
            return images_.Icon(node.Image, node.SelectedImage);
        case kImageIndexRole:
            return node.Image;
        case kSelectedImageIndexRole:
            return node.SelectedImage;
        default:
            return {};
    }
}

Qt::ItemFlags TTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
