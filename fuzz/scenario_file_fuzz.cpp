// Any bytes are read as a scenario file without crashing, and what is read
// is written back as a file that reads again.
#include <cstdint>
#include <string>

#include "ScenarioFile.h"
#include "engine/run/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::app;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ScenarioFile file = ReadScenarioText(text, "fuzz.yaml");
        std::vector<GivenOption> given;
        for (const FileArgument& argument : file.arguments) {
            given.push_back({argument.option, argument.value ? std::vector{*argument.value} : std::vector<std::string>{}});
        }
        (void)ReadScenarioText(ScenarioText(given, {}, file.events), "again.yaml");
    } catch (const kovra::engine::SettingError&) {
    }
    return 0;
}
