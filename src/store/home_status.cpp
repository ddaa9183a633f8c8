#include "store/home_status.hpp"

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {

HomeStatusKind homeStatusKind(const VardexStore& store) {
    if (store.isPaused() || store.agentsStopped) return HomeStatusKind::paused;
    if (!store.connected) return HomeStatusKind::off;
    if (!store.appsNeedingFix().empty()) return HomeStatusKind::needsFix;
    return HomeStatusKind::protected_;
}

HomeStatusLine homeStatusLine(const VardexStore& store) {
    const auto kind = homeStatusKind(store);
    switch (kind) {
        case HomeStatusKind::protected_:
            return {kind, std::string(UIStrings::v3Protected), "checkmark.shield.fill",
                    UIStrings::v3StoppedCount(store.todayStoppedCount())};
        case HomeStatusKind::needsFix: {
            const auto needing = store.appsNeedingFix();
            return {kind, std::string(UIStrings::v3NeedsFix), "exclamationmark.shield.fill",
                    needing.empty() ? std::string(UIStrings::statusNeedsFixAny) : UIStrings::statusNeedsFix(needing.front().title)};
        }
        case HomeStatusKind::off:
            return {kind, std::string(UIStrings::v3Off), "shield.slash.fill", std::string(UIStrings::statusOffSubtitle)};
        case HomeStatusKind::paused:
            if (store.agentsStopped) {
                return {kind, std::string(UIStrings::v3StoppedTitle), "pause.circle.fill",
                        std::string(UIStrings::statusStoppedSubtitle)};
            }
            return {kind, std::string(UIStrings::v3Paused), "pause.circle.fill", std::string(UIStrings::statusPausedSubtitle)};
    }
    return {kind, {}, {}, {}};
}

}  // namespace vardex
