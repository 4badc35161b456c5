// Each window described once, as data: its controls with their kind, name,
// container, design bounds, texts, font, colours, tab order, hints, images
// and menu. Every face walks the description to create its controls; the
// layout reads it too. Texts are cp932.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/Form1View.h"

enum class TControlKind {
    ListView,
    TreeView,
    Panel,
    Label,
    Edit,
    Button,
    GroupBox,
    RadioGroup,
    RadioButton,
    ImageList,
    PopupMenu,
    MenuItem,
};

// The colours a form uses, by their system names; Default is the control's own.
enum class TColor { Default, BtnFace, Menu, InfoBk, Blue };

// The edges a control keeps its distance to when its container is resized.
enum TAnchors : unsigned {
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8,
};

struct TFontDescription {
    std::string Name;  // cp932
    int Height = 0;    // pixels
    bool Underline = false;
    int Charset = 0;  // the Windows character set: 128 for Shift-JIS
    bool operator==(const TFontDescription&) const = default;
};

// A menu shortcut: Ctrl and a letter.
struct TShortCut {
    char Key = 0;  // 0: none
    bool Ctrl = false;
    bool operator==(const TShortCut&) const = default;
};

// Images of ImageList1, by index.
enum TImageIndex : int {
    kImageGroup = 0,      // closed folder: a group
    kImageCard = 1,       // card: every list item that isn't a group
    kImageRoot = 2,       // red book: the tree's root
    kImageGroupOpen = 3,  // open folder: a selected group node
};

struct TControlDescription {
    TControlKind Kind = TControlKind::Label;
    std::string Name;
    // The container's name; empty for the form itself.
    std::string Parent;
    // Inside the container. Labels size themselves: width and height 0. An
    // image list holds its image size here.
    TBounds Bounds;
    unsigned Anchors = akLeft | akTop;
    // Button, label, group box caption; edit box text; menu item caption.
    std::string Caption;
    // A list view's column captions.
    std::vector<std::string> Columns;
    // Empty name: the form's font.
    TFontDescription Font;
    TColor Color = TColor::Default;
    TColor FontColor = TColor::Default;
    // Position in the container's tab order; -1: not in it.
    int TabOrder = -1;
    std::string Hint;
    bool ReadOnly = false;
    // A tree view's indent per level.
    int Indent = 0;
    bool HandPoint = false;
    std::string Images;     // image list name
    std::string PopupMenu;  // popup menu name
    TShortCut ShortCut;
};

struct TFormDescription {
    std::string Name;
    std::string Caption;
    TBounds Bounds;  // outer bounds
    int MinWidth = 0;
    int MinHeight = 0;
    TFontDescription Font;
    TColor Color = TColor::BtnFace;
    std::vector<TControlDescription> Controls;

    // The control of that name; throws std::out_of_range when there is none.
    const TControlDescription& Control(std::string_view name) const;
    // The controls inside a container, in description order.
    std::vector<const TControlDescription*> Children(std::string_view parent) const;
    // The font a control is drawn with.
    const TFontDescription& FontOf(const TControlDescription& control) const;
};

// The main window, the properties dialog.
const TFormDescription& Form1Description();
const TFormDescription& Form2Description();

// The controls that take the keyboard focus, in the order Tab visits them:
// each container's controls by tab order, a container's own in its place.
std::vector<const TControlDescription*> TabChain(const TFormDescription& form);

// The form for another screen density: bounds, minimum size, indents and font
// heights scaled by dpi/96, rounded as a form scales (each edge to the
// nearest pixel, halves away from zero).
TFormDescription ScaleForm(const TFormDescription& form, int dpi);
