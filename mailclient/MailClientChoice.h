// Which mail client the recipient buttons reach, the same on every system.
#pragma once

#include <memory>

#include "mailclient/MailClient.h"

// At each press, the first of: Thunderbird while our extension is connected
// (the user installed it on purpose); Outlook where its automation class is
// registered; the desktop's default mail client through "mailto:". A client
// the system does not have is null; the desktop's is always there.
// RB_ExistWin follows CanReachOpenItems: true while Thunderbird is connected
// or Outlook is there.
std::unique_ptr<TMailClient> ChooseMailClient(std::unique_ptr<TMailClient> thunderbird,
                                              std::unique_ptr<TMailClient> outlook,
                                              std::unique_ptr<TMailClient> desktop);
