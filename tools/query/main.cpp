// quorvantel-query: the address book of a mail folder for scripts and terminal
// mail clients. Same reader, same expansion, same tree as the main window.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "core/Errors.h"
#include "core/Files.h"
#include "core/GroupTree.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <shellapi.h>
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitIo = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    R"(usage: quorvantel-query recipients [--address-only] [--cp932] [--] FOLDER NAME...
       quorvantel-query tree [--cp932] [--] FOLDER
       quorvantel-query members [--cp932] [--] FOLDER GROUP
       quorvantel-query mutt [--cp932] [--] FOLDER PATTERN

Reads the address book (card.dat and group.dat) of the mail folder FOLDER.

  recipients  the recipient text of each NAME (a card or a group), one after
              the other, exactly as the To/CC/BCC buttons write it, then a
              newline. Quoted "name"<address> items, or bare addresses with
              --address-only.
  tree        the group tree: "\" first, then every group below its parent,
              depth first, two spaces of indent per level. Like the main
              window it stops at 100000 lines or before a line deeper than
              1000 levels (groups listed in many groups can need millions);
              it then prints the lines it has and a warning on stderr, and
              the exit status stays 0.
  members     one line per member of GROUP: "group" or "card", a tab, the
              name, a tab, the card's address.
  mutt        for mutt's query_command: a status line, then address, tab,
              name, tab, memo for every card whose name, address or memo
              contains PATTERN (letter case ignored).

NAME, GROUP and PATTERN are UTF-8; names compare exactly. Output is UTF-8, or
the address book's own cp932 bytes with --cp932. Control characters in the
output of tree, members and mutt become spaces, so every record stays on its
line; recipients prints its text unchanged.

A FOLDER that is no existing directory reads as an empty address book, as in
the main window: tree, members and mutt list nothing and every NAME gives
"; ".

Exit status: 0 done, 1 input/output error (message on stderr), 2 bad usage.
)";

static_assert(kMaxTreeNodes == 100000 && kMaxTreeDepth == 1000,
              "the usage text names the tree's bounds");

struct TOptions {
    std::string command;
    bool addressOnly = false;
    bool cp932 = false;
    std::vector<std::string> args;  // FOLDER and the rest
};

class TUsageError {};

TOptions ParseArgs(int argc, char** argv) {
    if (argc < 2) {
        throw TUsageError();
    }
    TOptions opt;
    opt.command = argv[1];
    if (opt.command != "recipients" && opt.command != "tree" && opt.command != "members" &&
        opt.command != "mutt") {
        throw TUsageError();
    }
    int i = 2;
    for (; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.size() < 2 || a.substr(0, 2) != "--") {
            break;
        }
        if (a == "--cp932") {
            opt.cp932 = true;
        } else if (a == "--address-only" && opt.command == "recipients") {
            opt.addressOnly = true;
        } else {
            throw TUsageError();
        }
    }
    opt.args.assign(argv + i, argv + argc);
    const size_t n = opt.args.size();
    const bool ok = opt.command == "recipients" ? n >= 2 : opt.command == "tree" ? n == 1 : n == 2;
    if (!ok) {
        throw TUsageError();
    }
    return opt;
}

// Control bytes never occur inside a cp932 double-byte character, so this
// works byte by byte.
std::string Sanitized(std::string_view cp932) {
    std::string s(cp932);
    for (char& c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f) {
            c = ' ';
        }
    }
    return s;
}

// One output field: control characters blanked, then in the output encoding.
std::string Field(std::string_view cp932, bool rawCp932) {
    std::string s = Sanitized(cp932);
    return rawCp932 ? s : Cp932ToUtf8(s);
}

// Command-line text to the book's bytes. False for text with a character that
// cp932 lacks: it cannot be in the book, and a '?' in its place could match a
// real name.
bool ArgToCp932(const std::string& utf8, std::string& cp932) {
    if (!IsCp932Representable(utf8)) {
        return false;
    }
    cp932 = Utf8ToCp932(utf8);
    return true;
}

// Letter case folding over the cased letters that cp932 holds: Latin and
// full-width Latin, Greek, Cyrillic, Roman numerals.
char16_t FoldCase(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0x0391 && c <= 0x03A9) || (c >= 0x0410 && c <= 0x042F)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x2160 && c <= 0x216F) {
        return static_cast<char16_t>(c + 0x10);
    }
    if (c == 0x0401) {
        return 0x0451;
    }
    return c;
}

std::u16string Folded(std::string_view cp932) {
    std::u16string s = Cp932ToUtf16(cp932);
    for (char16_t& c : s) {
        c = FoldCase(c);
    }
    return s;
}

class TBook {
  public:
    // Reads FOLDER like the main window: only an existing directory is read.
    explicit TBook(const std::string& folderArg) {
        std::string folder;
        if (!ArgToCp932(folderArg, folder)) {
            throw EAppError(folderArg +
                            ": the folder name has characters that code page 932 lacks");
        }
        exists_ = DirectoryExists(Cp932ToPath(folder));
        if (exists_) {
            book_.SetFolder(folder);
            book_.Load();
        }
    }
    bool Exists() const { return exists_; }
    const TAddressBook& Book() const { return book_; }

  private:
    TAddressBook book_;
    bool exists_ = false;
};

std::string Recipients(const TOptions& opt) {
    const TRecipientForm form =
        opt.addressOnly ? TRecipientForm::AddressOnly : TRecipientForm::QuotedName;
    TBook book(opt.args[0]);
    std::string text;
    for (size_t i = 1; i < opt.args.size(); ++i) {
        std::string name;
        // A name that cannot be in the book is unknown: one empty item.
        text += ArgToCp932(opt.args[i], name) ? book.Book().JoinedRecipients(name, form) : "; ";
    }
    // Exactly the text the buttons write, control bytes and all.
    return (opt.cp932 ? text : Cp932ToUtf8(text)) + "\n";
}

// Printed on stderr after the output, which stays usable.
std::string warning;

std::string Tree(const TOptions& opt) {
    TBook book(opt.args[0]);
    std::string out;
    if (!book.Exists()) {
        return out;  // the main window shows no node at all
    }
    bool truncated = false;
    const std::vector<TGroupTreeNode> nodes =
        BuildGroupTree(book.Book(), kMaxTreeNodes, &truncated, kMaxTreeDepth);
    if (truncated) {
        warning = "グループの入れ子が多すぎるため、ツリーには最初の " +
                  std::to_string(nodes.size()) + " 個だけを表示しています";
    }
    for (const TGroupTreeNode& node : nodes) {
        out.append(static_cast<size_t>(node.Depth) * 2, ' ');
        out += Field(node.Name, opt.cp932);
        out += '\n';
    }
    return out;
}

std::string Members(const TOptions& opt) {
    TBook book(opt.args[0]);
    std::string group;
    std::string out;
    if (!ArgToCp932(opt.args[1], group)) {
        return out;
    }
    const TAddressBook& b = book.Book();
    for (const std::string& m : b.GroupMembers(group)) {
        const bool isGroup = b.IsGroup(m);
        out += isGroup ? "group\t" : "card\t";
        out += Field(m, opt.cp932);
        out += '\t';
        if (!isGroup) {
            out += Field(b.CardAddress(m), opt.cp932);
        }
        out += '\n';
    }
    return out;
}

std::string Mutt(const TOptions& opt) {
    TBook book(opt.args[0]);
    std::string pattern;
    std::string lines;
    int found = 0;
    if (ArgToCp932(opt.args[1], pattern)) {
        const std::u16string needle = Folded(pattern);
        auto contains = [&](const std::string& field) {
            return Folded(field).find(needle) != std::u16string::npos;
        };
        for (size_t i = 0; i < book.Book().CardCount(); ++i) {
            const TCard card = book.Book().Card(i);
            if (contains(card.Nickname) || contains(card.Address) || contains(card.Memo)) {
                lines += Field(card.Address, opt.cp932) + '\t' + Field(card.Nickname, opt.cp932) +
                         '\t' + Field(card.Memo, opt.cp932) + '\n';
                ++found;
            }
        }
    }
    return "quorvantel-query: " + std::to_string(found) + (found == 1 ? " entry" : " entries") +
           " found\n" + lines;
}

bool WriteAll(const std::string& text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        return false;
    }
    return std::fflush(stdout) == 0;
}

}  // namespace

#ifdef _WIN32
namespace {

// The arguments as UTF-8, as the usage text says: main's own argv is in the
// ANSI code page, which cannot hold every name a user may type.
std::vector<std::string> Utf8Args() {
    std::vector<std::string> args;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    for (int i = 0; wide != nullptr && i < n; ++i) {
        const int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(len > 0 ? len - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), len, nullptr, nullptr);
        args.push_back(std::move(utf8));
    }
    LocalFree(wide);
    return args;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    std::vector<std::string> utf8Args = Utf8Args();
    std::vector<char*> utf8Argv;
    for (std::string& a : utf8Args) {
        utf8Argv.push_back(a.data());
    }
    utf8Argv.push_back(nullptr);
    if (!utf8Args.empty()) {
        argc = static_cast<int>(utf8Args.size());
        argv = utf8Argv.data();
    }
#endif
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        return WriteAll(kUsage) ? kExitOk : kExitIo;
    }
    TOptions opt;
    try {
        opt = ParseArgs(argc, argv);
    } catch (const TUsageError&) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string out;
    try {
        if (opt.command == "recipients") {
            out = Recipients(opt);
        } else if (opt.command == "tree") {
            out = Tree(opt);
        } else if (opt.command == "members") {
            out = Members(opt);
        } else {
            out = Mutt(opt);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvantel-query: %s\n", e.what());
        return kExitIo;
    }
    if (!WriteAll(out)) {
        const int err = errno;
        std::fprintf(stderr, "quorvantel-query: %s\n",
                     InOutErrorMessage(InOutCodeFromErrno(err)).c_str());
        return kExitIo;
    }
    if (!warning.empty()) {
        std::fprintf(stderr, "quorvantel-query: %s\n", warning.c_str());
    }
    return kExitOk;
}
