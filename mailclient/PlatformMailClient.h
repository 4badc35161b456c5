// The mail client this platform writes to: Outlook on Windows, the desktop's
// mail client elsewhere.
#pragma once

#include <memory>

#include "MailClient.h"

std::unique_ptr<TMailClient> CreatePlatformMailClient();
