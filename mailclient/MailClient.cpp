#include "mailclient/MailClient.h"

EHandOffCancelled::EHandOffCancelled(const std::string& clientName)
    : EAppError("受け渡しを中止しました。" + clientName +
                " は渡された宛先をこのあと書き込むことがあります") {}
