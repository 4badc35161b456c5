// Manual check on a Windows machine with Outlook: writes the UTF-8 text given
// as the first argument into the To field of a new mail item and shows it.
#include <cstdio>
#include <exception>

#include "core/TextUtf.h"
#include "mailclient/ComApartment.h"
#include "mailclient/OutlookApplication.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: outlook_probe <recipients>\n");
        return 2;
    }
    const TComApartment apartment;
    try {
        TOutlookApplication outlook;
        auto item = outlook.CreateItem();
        item->SetField(TMailField::To, Utf8ToUtf16(argv[1]));
        item->Display();
        std::printf("%s\n", Utf16ToUtf8(item->GetField(TMailField::To)).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
