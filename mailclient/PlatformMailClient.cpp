#include "PlatformMailClient.h"

#ifdef _WIN32
#include "OutlookApplication.h"
#else
#include "DesktopMailClient.h"
#endif

std::unique_ptr<TMailClient> CreatePlatformMailClient() {
#ifdef _WIN32
    return std::make_unique<TOutlookApplication>();
#else
    return std::make_unique<TDesktopMailClient>();
#endif
}
