// Any bytes the engine prints either fail with one of the three parse errors or give a report
// whose strict JSON form decodes back to the same report. The same bytes, when they are a JSON
// object, must also build a rules catalogue without fault.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "bridge/doctor_report.hpp"
#include "bridge/rules_catalog.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto report = vardex::DoctorReport::parse(bytes);
    if (!report) {
        if (report.error().description().empty()) std::abort();
        return 0;
    }
    auto again = vardex::doctor_json::reportFromJson(vardex::doctor_json::toJson(*report));
    if (!again || !(*again == *report)) std::abort();

    auto document = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (document.is_object()) {
        const vardex::RulesCatalog catalog(document);
        for (const auto& rule : catalog.disabled) {
            if (!rule.disabled || rule.canDisable() != (rule.layer != "user" && !rule.isCritical())) std::abort();
        }
    }
    return 0;
}
