// Faults under the running window: the preferences save refused or out of
// room, a whole session over a read-only mail folder, and address-book files
// that vanish, turn unreadable or become directories between two reads.
#include <gtest/gtest.h>

#ifdef __linux__

#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "core/Encoding.h"
#include "core/Prefs.h"
#include "tests/support/FakeMailClient.h"
#include "tests/support/QtDialogs.h"
#include "tests/support/QtWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

namespace fs = std::filesystem;

const fs::path kSample = fs::path(QUORVANTEL_EXAMPLES_DIR) / "mailbox";
constexpr uid_t kNobody = 65534;

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// File access of this thread as an unprivileged user while it lives. Root
// passes every permission check; an ordinary user is bound by them already.
class AsNobody {
  public:
    AsNobody() : active_(geteuid() == 0) {
        if (active_) {
            setfsgid(kNobody);
            setfsuid(kNobody);
        }
    }
    ~AsNobody() {
        if (active_) {
            setfsuid(0);
            setfsgid(0);
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;
    // setfsuid reports the id in force, not success.
    bool Working() const { return !active_ || setfsuid(kNobody) == static_cast<int>(kNobody); }

  private:
    bool active_;
};

// A directory this thread may not write into while it lives.
class ReadOnlyDirectory {
  public:
    explicit ReadOnlyDirectory(fs::path dir) : dir_(std::move(dir)) {
        chmod(dir_.c_str(), 0555);
        nobody_.emplace();
        EXPECT_TRUE(nobody_->Working());
    }
    ~ReadOnlyDirectory() {
        nobody_.reset();
        chmod(dir_.c_str(), 0755);
    }
    ReadOnlyDirectory(const ReadOnlyDirectory&) = delete;
    ReadOnlyDirectory& operator=(const ReadOnlyDirectory&) = delete;

  private:
    fs::path dir_;
    std::optional<AsNobody> nobody_;
};

// Files may grow to `bytes` at most while it lives; write() then fails with EFBIG.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

// A small tmpfs over `dir`, in a mount namespace of this thread's own; false
// where that is not allowed (a user namespace would need a single thread).
bool MountSmallTmpfs(const fs::path& dir) {
    if (geteuid() != 0) {
        return false;
    }
    static const bool unshared =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return unshared && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
}

// Fills the file system that holds `dir` while it lives.
class FullDisk {
  public:
    explicit FullDisk(const fs::path& dir) : filler_(dir / "filler") {
        std::ofstream out(filler_, std::ios::binary);
        const std::string block(4096, 'x');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
            out.flush();
        }
    }
    ~FullDisk() { fs::remove(filler_); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

  private:
    fs::path filler_;
};

// Bytes, modes and times of every file below a folder, and of the folder itself.
struct FileState {
    std::string bytes;
    mode_t mode = 0;
    timespec mtime{}, ctime{};
    bool operator==(const FileState& o) const {
        return bytes == o.bytes && mode == o.mode && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileState StateOf(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    FileState state{fs::is_regular_file(path) ? ReadAll(path) : std::string(), st.st_mode,
                    st.st_mtim, st.st_ctim};
    return state;
}

std::map<std::string, FileState> Snapshot(const fs::path& folder) {
    std::map<std::string, FileState> files{{".", StateOf(folder)}};
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[fs::relative(entry.path(), folder).string()] = StateOf(entry.path());
    }
    return files;
}

class FaultInjectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        chmod(dir_.c_str(), 0755);  // an unprivileged user may reach what lies below
        TForm1::SetIniFileOverride(ini_);
    }
    void TearDown() override { form_.reset(); }

    std::string FolderLine(const fs::path& folder) {
        return "MailFolder: " + PathToCp932(folder) + "\r\n";
    }
    TForm1Window& StartShown() {
        form_ = std::make_unique<TForm1Window>();
        form2_ = new TForm2Window(form_->Form.PropertyCard, form_.get());
        form_->Form.Form2 = &form2_->Form;
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        return *form_;
    }
    fs::path CopySample(const char* name = "mailbox") {
        const fs::path copy = dir_ / name;
        fs::remove_all(copy);
        fs::copy(kSample, copy, fs::copy_options::recursive);
        return copy;
    }

    std::vector<std::pair<QString, int>> TreeNodes() {
        std::vector<std::pair<QString, int>> out;
        const auto& nodes = form_->TreeModel()->Nodes();
        for (const auto& node : nodes) {
            int depth = 0;
            for (int p = node.Parent; p >= 0; p = nodes[static_cast<size_t>(p)].Parent) {
                ++depth;
            }
            out.emplace_back(QString::fromStdString(Cp932ToUtf8(node.Name)), depth);
        }
        return out;
    }
    void SelectNode(int node) {
        form_->TreeView1->setCurrentIndex(form_->TreeModel()->IndexOf(node));
    }
    int NodeNamed(const char* utf8) {
        const auto& nodes = form_->TreeModel()->Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].Name == Utf8ToCp932(utf8)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    // (caption, second column) of every list row.
    std::vector<std::pair<QString, QString>> ListRows() {
        std::vector<std::pair<QString, QString>> rows;
        const QAbstractItemModel* model = form_->ListView1->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            rows.emplace_back(model->index(r, 0).data().toString(),
                              model->index(r, 1).data().toString());
        }
        return rows;
    }
    void SelectAllRows() { form_->ListView1->selectAll(); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Presses 参照... and lets `act` answer the folder dialog.
    void Browse(const std::function<void(QFileDialog*)>& act) {
        EXPECT_TRUE(AnswerFileDialog([this] { Click(form_->B_SETFOLDER); }, act));
    }

    TQtWindowScope scope_;
    const fs::path& dir_ = scope_.Dir();
    const fs::path ini_ = dir_ / "prefs" / "quorvantel.ini";
    QStringList& reports_ = scope_.Reports;
    std::unique_ptr<TForm1Window> form_;
    TForm2Window* form2_ = nullptr;
};

// ---- The preferences save through 閉じる

TEST_F(FaultInjectionTest, FailedSaveKeepsTheOldFileAndTheWindow) {
    const fs::path prefsDir = ini_.parent_path();
    const struct {
        const char* what;
        std::function<std::shared_ptr<void>()> fault;
        const char* shown;
        bool onTmpfs = false;
    } cases[] = {
        {"no permission on the directory",
         [&]() -> std::shared_ptr<void> { return std::make_shared<ReadOnlyDirectory>(prefsDir); },
         "ファイルへのアクセスが拒否されました."},
        {"no room to write (file-size limit)",
         []() -> std::shared_ptr<void> { return std::make_shared<FileSizeLimit>(64); },
         "ディスクがいっぱいです."},
        {"full file system",
         [&]() -> std::shared_ptr<void> { return std::make_shared<FullDisk>(prefsDir); },
         "ディスクがいっぱいです.", true},
    };
    std::string skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reports_.clear();
        Prefs = TPrefs{};
        fs::remove_all(prefsDir);
        fs::create_directories(prefsDir);
        if (c.onTmpfs && !MountSmallTmpfs(prefsDir)) {
            skipped += std::string(skipped.empty() ? "" : ", ") + c.what;
            continue;
        }
        const std::string old =
            FolderLine(kSample) + "QuoteString: '> '\r\nWindowSize: 500,400\r\n";
        WriteAll(ini_, old);
        chmod(prefsDir.c_str(), 0755);
        chmod(ini_.c_str(), 0644);
        TForm1Window& form = StartShown();
        form.Edit2->setText(Q(">> "));
        QSignalSpy closed(&form, &TForm1Window::Closed);

        {
            const auto fault = c.fault();
            Click(form.B_QUIT);
        }
        EXPECT_EQ(reports_, QStringList{Q(c.shown)});
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(closed.count(), 0);
        EXPECT_EQ(ReadAll(ini_), old);
        EXPECT_EQ(Listing(prefsDir), std::set<std::string>{"quorvantel.ini"});

        // The window still works, and once the fault is gone the save goes through.
        SelectNode(NodeNamed("家族"));
        EXPECT_FALSE(ListRows().empty());
        Click(form.B_QUIT);
        EXPECT_EQ(closed.count(), 1);
        EXPECT_FALSE(form.isVisible());
        const std::string saved = ReadAll(ini_);
        EXPECT_NE(saved.find("QuoteString: '>> '\r\n"), std::string::npos) << saved;

        // The save at destruction fails the same way; the exit goes on.
        {
            const auto fault = c.fault();
            form_.reset();
        }
        EXPECT_EQ(reports_, (QStringList{Q(c.shown), Q(c.shown)}));
        EXPECT_EQ(ReadAll(ini_), saved);
        EXPECT_EQ(Listing(prefsDir), std::set<std::string>{"quorvantel.ini"});
        if (c.onTmpfs) {
            umount2(prefsDir.c_str(), MNT_DETACH);
        }
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << skipped << ": cannot mount a small tmpfs here";
    }
}

// A preferences file that cannot be read must not be replaced by the values
// the window fell back to: the user's settings would be gone.
TEST_F(FaultInjectionTest, UnreadablePreferencesSurviveTheSaves) {
    const fs::path prefsDir = ini_.parent_path();
    const std::string old = FolderLine(kSample) + "QuoteString: '# '\r\n";
    WriteAll(ini_, old);
    chmod(prefsDir.c_str(), 0777);  // a rename could replace the file
    chmod(ini_.c_str(), 0);
    const QString denied = Q("ファイルへのアクセスが拒否されました.");
    {
        AsNobody nobody;
        ASSERT_TRUE(nobody.Working());
        TForm1Window& form = StartShown();
        EXPECT_EQ(reports_, QStringList{denied});
        EXPECT_EQ(form.Edit1->text(), Q("設定されていません"));

        Click(form.B_QUIT);
        EXPECT_EQ(reports_, (QStringList{denied, denied}));
        EXPECT_TRUE(form.isVisible());
        form_.reset();
        EXPECT_EQ(reports_, (QStringList{denied, denied, denied}));
    }
    chmod(ini_.c_str(), 0644);
    EXPECT_EQ(ReadAll(ini_), old);
    EXPECT_EQ(Listing(prefsDir), std::set<std::string>{"quorvantel.ini"});
    chmod(prefsDir.c_str(), 0755);
}

// ---- The mail folder is only read

TEST_F(FaultInjectionTest, WholeSessionLeavesTheMailFolderUntouched) {
    const fs::path folder = CopySample();
    for (const auto& entry : fs::directory_iterator(folder)) {
        fs::permissions(entry.path(), fs::perms(0444));
    }
    fs::permissions(folder, fs::perms(0555));
    const auto before = Snapshot(folder);
    ASSERT_GE(before.size(), 3u);  // the folder, card.dat, group.dat at least

    WriteAll(ini_, FolderLine(folder));
    TForm1Window& form = StartShown();
    auto client = std::make_unique<TFakeMailClient>();
    TFakeMailClient* fake = client.get();
    fake->InspectorOpen = true;
    fake->OpenItem = std::make_shared<TFakeItem>();
    form.Form.SetMailClient(std::move(client));
    ASSERT_FALSE(TreeNodes().empty());

    Click(form.B_READ);
    const int nodes = static_cast<int>(form.TreeModel()->Nodes().size());
    for (int node = 0; node < nodes; ++node) {
        SelectNode(node);
        SelectAllRows();
        for (QPushButton* b : {form.B_TO, form.B_CC, form.B_BCC}) {
            Click(b);
        }
    }
    form.RB_ExistWin->setChecked(true);
    SelectNode(NodeNamed("仕事"));
    SelectAllRows();
    for (QPushButton* b : {form.B_TO, form.B_CC, form.B_BCC}) {
        Click(b);
    }

    // Double-click a group row, then the properties of a card.
    SelectNode(0);
    const QModelIndex first = form.ListView1->model()->index(0, 0);
    form.ListView1->selectionModel()->select(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {},
                       form.ListView1->visualRect(first).center());
    EXPECT_EQ(form.TreeView1->currentIndex(), form.TreeModel()->IndexOf(NodeNamed("家族")));
    form.ListView1->selectionModel()->select(
        form.ListView1->model()->index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form.Property1->trigger();
    EXPECT_TRUE(form2_->isVisible());
    EXPECT_FALSE(form.Form.PropertyCard.Nickname.empty());

    QGuiApplication::clipboard()->setText(Q("a\nb"));
    Click(form.B_QUOTE);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Q("> a\n> b\n"));

    Browse([&](QFileDialog* d) {
        d->setDirectory(QString::fromStdString(folder.string()));
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_EQ(form.Edit1->text().toStdString(), folder.string());
    Click(form.B_READ);
    // The buttons did write somewhere (the client goes with the window).
    EXPECT_GE(fake->Created.size(), 3u);
    EXPECT_FALSE(fake->OpenItem->To.empty());
    Click(form.B_QUIT);
    form_.reset();

    EXPECT_TRUE(reports_.empty()) << reports_.front().toStdString();
    EXPECT_EQ(Snapshot(folder), before);  // same files, bytes, modes and times
    fs::permissions(folder, fs::perms(0755));
}

// ---- Address-book files that change between two reads

TEST_F(FaultInjectionTest, AddressBookFilesFailingBetweenReads) {
    const fs::path folder = CopySample();
    WriteAll(ini_, FolderLine(folder));
    TForm1Window& form = StartShown();
    const auto goodTree = TreeNodes();
    ASSERT_GT(goodTree.size(), 1u);
    SelectNode(NodeNamed("家族"));
    const auto goodRows = ListRows();
    ASSERT_FALSE(goodRows.empty());
    const size_t goodCards = form.Form.Book()->CardCount();
    const size_t goodGroups = form.Form.Book()->Groups().size();

    enum class Tree { Empty, RootOnly, AllGroups };
    auto vanish = [](const fs::path& file) { fs::remove(file); };
    auto unreadable = [](const fs::path& file) {  // a read gives EIO, even to root
        fs::remove(file);
        fs::create_symlink("/proc/self/mem", file);
    };
    auto denied = [](const fs::path& file) { fs::permissions(file, fs::perms::none); };
    auto directory = [](const fs::path& file) {
        fs::remove(file);
        fs::create_directories(file / "inner");
    };
    const QString ioError = Q("I/O エラー (") + QString::number(EIO) + Q(")");
    const QString accessDenied = Q("ファイルへのアクセスが拒否されました.");
    const struct {
        const char* what;
        const char* file;
        std::function<void(const fs::path&)> fault;
        bool asNobody;  // read as an unprivileged user, for whom permissions count
        QString shown;  // empty: nothing reported
        Tree tree;
        bool cardsRead, groupsRead;
    } cases[] = {
        {"card.dat vanishes", "card.dat", vanish, false, {}, Tree::AllGroups, false, true},
        {"group.dat vanishes", "group.dat", vanish, false, {}, Tree::RootOnly, true, false},
        {"card.dat unreadable", "card.dat", unreadable, false, ioError, Tree::Empty, false, false},
        {"group.dat unreadable", "group.dat", unreadable, false, ioError, Tree::Empty, true, false},
        {"card.dat access denied", "card.dat", denied, true, accessDenied, Tree::Empty, false,
         false},
        {"group.dat access denied", "group.dat", denied, true, accessDenied, Tree::Empty, true,
         false},
        {"card.dat a directory", "card.dat", directory, false, {}, Tree::AllGroups, false, true},
        {"group.dat a directory", "group.dat", directory, false, {}, Tree::RootOnly, true, false},
        // Nothing below the folder can be seen: no file exists as far as we can tell.
        {"folder unsearchable", ".", denied, true, {}, Tree::RootOnly, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reports_.clear();
        SelectNode(NodeNamed("家族"));
        ASSERT_FALSE(ListRows().empty());
        const TAddressBook* previous = form.Form.Book();

        c.fault(folder / c.file);
        {
            std::optional<AsNobody> nobody;
            if (c.asNobody) {
                nobody.emplace();
                ASSERT_TRUE(nobody->Working());
            }
            Click(form.B_READ);
        }
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(reports_.empty()) << reports_.front().toStdString();
        } else {
            EXPECT_EQ(reports_, QStringList{c.shown});
        }
        ASSERT_NE(form.Form.Book(), nullptr);
        EXPECT_NE(form.Form.Book(), previous);  // a new book, with what it could read
        EXPECT_EQ(form.Form.Book()->CardCount(), c.cardsRead ? goodCards : 0u);
        EXPECT_EQ(form.Form.Book()->Groups().size(), c.groupsRead ? goodGroups : 0u);
        EXPECT_TRUE(ListRows().empty());
        switch (c.tree) {
            case Tree::Empty:
                EXPECT_TRUE(TreeNodes().empty());
                break;
            case Tree::RootOnly:
                EXPECT_EQ(TreeNodes(), (std::vector<std::pair<QString, int>>{{Q("\\"), 0}}));
                SelectNode(0);
                EXPECT_TRUE(ListRows().empty());
                break;
            case Tree::AllGroups:
                EXPECT_EQ(TreeNodes(), goodTree);
                SelectNode(NodeNamed("家族"));  // members without their cards
                ASSERT_EQ(ListRows().size(), goodRows.size());
                for (size_t i = 0; i < goodRows.size(); ++i) {
                    EXPECT_EQ(ListRows()[i].first, goodRows[i].first);
                    EXPECT_EQ(ListRows()[i].second, QString());
                }
                break;
        }

        // Put the good files back: the next read shows the whole book again.
        fs::permissions(folder, fs::perms(0755));
        CopySample();
        reports_.clear();
        Click(form.B_READ);
        EXPECT_TRUE(reports_.empty());
        EXPECT_EQ(TreeNodes(), goodTree);
        SelectNode(NodeNamed("家族"));
        EXPECT_EQ(ListRows(), goodRows);
    }
}

}  // namespace

#endif  // __linux__
