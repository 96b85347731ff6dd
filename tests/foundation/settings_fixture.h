#pragma once
// Shared set-up of the settings tests: a private data folder, a captured log, every
// setting back at its default and a window stand-in that records control changes.
#include <atomic>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/window_bridge.h"

namespace settingstest {

inline void resetSettings()
{
    PROGRAM_VERSION.defaultValue.clear(); // a full write with the defaults sets it
    for (BoolParameter* p : g_hiddenBoolParams)
        p->value = p->defaultValue;
    for (CheckBoxParameter* p : g_boolParams)
        p->value = p->defaultValue;
    for (IntParameter* p : g_intParams)
        p->value = p->defaultValue;
    for (ListParameter* p : g_listParams)
        p->value = p->defaultValue;
    for (StringParameter* p : g_stringParams)
        p->setValue(p->defaultValue);
    for (EditParameter* p : g_blockCallsignParams)
        p->setValue(p->defaultValue);
}

inline std::string parametersXml(std::string_view elements)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n" + std::string(elements) +
           "  </parameters>\n</root>\n";
}

inline std::string element(std::string_view key, std::string_view value)
{
    return fmt::format("    <parameter name=\"{}\" value=\"{}\" />\n", key, value);
}

// The "parameter" elements of the file as name=value pairs, in file order.
inline std::vector<std::string> storedPairsIn(const std::filesystem::path& file)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(file.c_str())) << "parameters.xml does not parse";
    std::vector<std::string> pairs;
    for (pugi::xml_node e : doc.child("root").child("parameters").children("parameter"))
        pairs.push_back(std::string(e.attribute("name").as_string()) + "=" + e.attribute("value").as_string());
    return pairs;
}

// The value of the first element named key; "<none>" when there is none or no file.
inline std::string storedValueIn(const std::filesystem::path& file, std::string_view key)
{
    if (!std::filesystem::exists(file))
        return "<none>";
    for (const std::string& pair : storedPairsIn(file)) {
        if (pair.compare(0, key.size() + 1, std::string(key) + "=") == 0)
            return pair.substr(key.size() + 1);
    }
    return "<none>";
}

// Records every control change as "check 32798 1", "text 32818 40", ...; once uiThread is
// set, a change asked for by another thread waits until that thread has run it (pump()),
// as SendMessage does.
class RecordingBridge : public ControlBridge {
public:
    void setCheckMark(const GuiControl& c, bool checked) override { add(fmt::format("check {} {}", c.controlId, checked ? 1 : 0)); }
    void setControlText(const GuiControl& c, std::string_view text) override { add(fmt::format("text {} {}", c.controlId, text)); }
    void enableControl(const GuiControl& c, bool enabled) override { add(fmt::format("enable {} {}", c.controlId, enabled ? 1 : 0)); }
    void fillCombo(const GuiControl& c, const std::vector<std::string>& texts) override
    {
        add(fmt::format("fill {} [{}]", c.controlId, fmt::join(texts, ",")));
    }
    void selectComboIndex(const GuiControl& c, int32_t index) override { add(fmt::format("select {} {}", c.controlId, index)); }
    void selectComboText(const GuiControl& c, std::string_view text) override { add(fmt::format("selecttext {} {}", c.controlId, text)); }

    std::vector<std::string> calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void pump()
    {
        std::lock_guard lock(mutex_);
        for (std::promise<void>* p : waiting_)
            p->set_value();
        changesFromOtherThreads += static_cast<int>(waiting_.size());
        waiting_.clear();
    }

    std::atomic<std::thread::id> uiThread{};
    std::atomic<int> changesFromOtherThreads{0};

private:
    void add(std::string call)
    {
        std::promise<void> done;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
            if (uiThread.load() == std::thread::id() || uiThread.load() == std::this_thread::get_id())
                return;
            waiting_.push_back(&done);
        }
        done.get_future().wait();
    }
    mutable std::mutex mutex_; // guards calls_ and waiting_
    std::vector<std::string> calls_;
    std::vector<std::promise<void>*> waiting_;
};

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest()
    {
        gf_overrideDataFolder(data_.path());
        resetSettings();
        gf_resetStopState();
    }
    ~SettingsTest() override
    {
        gf_setControlBridge(nullptr);
        gf_setBeforeReplaceHook(nullptr);
        gf_resetStopState();
        resetSettings();
    }

    std::filesystem::path file() const { return data_ / "parameters.xml"; }
    std::filesystem::path backup() const { return data_ / "parameters0.xml"; }
    const tavtest::TempFolder& data() const { return data_; }

    std::vector<std::string> storedPairs() const { return storedPairsIn(file()); }
    std::string storedValue(std::string_view key) const { return storedValueIn(file(), key); }

    tavtest::TempFolder data_{"settings"};
    tavtest::LogCapture log_;
};

} // namespace settingstest
