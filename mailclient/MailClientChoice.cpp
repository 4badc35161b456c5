#include "mailclient/MailClientChoice.h"

#include <utility>

#include "mailclient/BridgedMailClient.h"

std::unique_ptr<TMailClient> ChooseMailClient(std::unique_ptr<TMailClient> thunderbird,
                                              std::unique_ptr<TMailClient> outlook,
                                              std::unique_ptr<TMailClient> desktop) {
    // Each one in front of the rest while it can reach open windows.
    std::unique_ptr<TMailClient> chosen = std::move(desktop);
    for (std::unique_ptr<TMailClient>* first : {&outlook, &thunderbird}) {
        if (*first) {
            chosen = std::make_unique<TBridgedMailClient>(std::move(*first), std::move(chosen));
        }
    }
    return chosen;
}
