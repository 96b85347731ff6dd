#include "foundation/parameters_file.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/file_generations.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/log_unless_stopping.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "foundation/xml_helpers.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

namespace {

// g_parametersFileMutex guards parameters.xml: every load, edit and save of the file
// holds it for the whole step. The window is never called while it is held, because the
// user-interface thread may itself be waiting for it in a store.
std::mutex g_parametersFileMutex;

// Control changes collected under the lock and made after it is released.
using ControlUpdates = std::vector<std::function<void()>>;

void lf_apply(const ControlUpdates& updates)
{
    for (const auto& update : updates)
        update();
}

enum class FileState { Loaded, Missing, Unusable };

// A file that exists but cannot be opened may be held by another program for a moment
// (a virus scanner, a backup): try a few times before calling it unusable.
constexpr int kOpenAttempts = 5;
constexpr auto kOpenRetryDelay = std::chrono::milliseconds(100);
constexpr size_t kDeepestParametersFile = 16;

FileState lf_loadFile(pugi::xml_document& doc, const fs::path& path, std::string& reason)
{
    std::error_code ec;
    if (fs::status(path, ec).type() == fs::file_type::not_found)
        return FileState::Missing;
    pugi::xml_parse_result result;
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        result = gf_loadXmlFile(doc, path);
        const bool notOpened =
            result.status == pugi::status_file_not_found || result.status == pugi::status_io_error;
        if (!notOpened || attempt == kOpenAttempts)
            break;
        std::this_thread::sleep_for(kOpenRetryDelay);
    }
    if (!result) {
        reason = result.description();
        return FileState::Unusable;
    }
    // The file is three levels deep; a deeper one is not ours, and rewriting it indented
    // could grow it without bound.
    if (gf_xmlDepth(doc) > kDeepestParametersFile) {
        reason = fmt::format("elements nested deeper than {} levels", kDeepestParametersFile);
        return FileState::Unusable;
    }
    return FileState::Loaded;
}

fs::path lf_backupPath(const fs::path& path)
{
    fs::path backup = path.parent_path() / path.stem();
    backup += "0";
    backup += path.extension();
    return backup;
}

pugi::xml_node lf_parametersNode(const pugi::xml_document& doc)
{
    if (const pugi::xml_node root = doc.child("root"))
        return root.child("parameters");
    return doc.child("parameters");
}

pugi::xml_node lf_findElement(pugi::xml_node parameters, std::string_view key)
{
    for (pugi::xml_node e : parameters.children("parameter")) {
        if (std::string_view(e.attribute("name").as_string()) == key)
            return e;
    }
    return {};
}

// As pugixml's as_int reads the stored text ("12x" is 12, "0x10" 16, "12.5" 12, beyond
// 32 bits saturated; a missing "value" 0), except that a text holding no number at all is
// refused: reading it as 0 would clamp a user's setting to its minimum.
std::optional<int32_t> lf_storedInt(const pugi::xml_attribute& value)
{
    const char* s = value.as_string();
    while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n')
        ++s;
    if (*s == '+' || *s == '-')
        ++s;
    if (value && (*s < '0' || *s > '9'))
        return std::nullopt;
    return value.as_int();
}

std::string lf_boolText(bool v)
{
    return v ? "true" : "false";
}

std::string lf_openingBanner()
{
    return gf_bannerLine(70, 0, true, false, "parameters");
}

std::string lf_closingBanner()
{
    return gf_bannerLine(70, 10, false, true);
}

void lf_showCheck(ControlUpdates& updates, const CheckBoxParameter& p, bool value)
{
    updates.push_back([&p, value] { gf_controlSetCheckMark(p, value); });
}

void lf_showInt(ControlUpdates& updates, const IntParameter& p, int32_t value)
{
    const auto* control = dynamic_cast<const GuiControl*>(&p);
    if (control == nullptr)
        return;
    updates.push_back([control, value] {
        gf_controlSetText(*control, std::to_string(value));
        gf_invalidateBand(g_controlsBand);
    });
}

void lf_showText(ControlUpdates& updates, const EditParameter& p, std::string value)
{
    updates.push_back([&p, value = std::move(value)] { gf_controlSetText(p, value); });
}

// Writes the whole file; the lock is held.
void lf_saveParameters(bool defaults, ControlUpdates& updates)
{
    const fs::path path = gf_parametersPath();
    // The file records the version that wrote it, and the migration's first test compares
    // with this default.
    if (defaults)
        PROGRAM_VERSION.defaultValue = gf_versionText(g_ownVersion);
    pugi::xml_document doc;
    const pugi::xml_node parameters = doc.append_child("root").append_child("parameters");
    if (parameters) {
        auto report = [](bool appended, const Parameter& p, const std::string& current) {
            if (!appended)
                gf_logUnlessStopping("{}adding xml parameter {} with {} failed!", "===> ", p.name, current);
        };
        for (BoolParameter* p : g_hiddenBoolParams) {
            const bool v = p->value;
            report(gf_appendBoolParameter(parameters, p->name, defaults ? p->defaultValue : v), *p, lf_boolText(v));
            gf_logBoolParameter(*p);
        }
        for (CheckBoxParameter* p : g_boolParams) {
            const bool v = p->value;
            report(gf_appendBoolParameter(parameters, p->name, defaults ? p->defaultValue : v), *p, lf_boolText(v));
            gf_logBoolParameter(*p);
            lf_showCheck(updates, *p, v);
        }
        auto writeInts = [&](const auto& registry) {
            for (IntParameter* p : registry) {
                const int32_t v = p->value;
                report(gf_appendIntParameter(parameters, p->name, defaults ? p->defaultValue : v), *p,
                       std::to_string(v));
                gf_logIntParameter(*p);
                lf_showInt(updates, *p, v);
            }
        };
        writeInts(g_intParams);
        writeInts(g_listParams);
        for (StringParameter* p : g_stringParams) {
            const std::string v = p->value();
            report(gf_appendParameterElement(parameters, p->name, defaults ? p->defaultValue : v), *p, v);
            gf_logParameter(*p);
        }
        for (EditParameter* p : g_blockCallsignParams) {
            const std::string v = p->value();
            report(gf_appendParameterElement(parameters, p->name, defaults ? p->defaultValue : v), *p, v);
            gf_logParameter(*p);
            lf_showText(updates, *p, v);
        }
        if (!gf_saveXmlFile(doc, path))
            gf_logErrorLine("saving: {} failed", gf_pathToUtf8(path));
    }
    gf_logLine(lf_closingBanner());
}

// Reads every registered setting from a loaded "parameters" element, appending what is
// missing and rewriting int values that had to be corrected.
void lf_readInto(pugi::xml_node parameters, ControlUpdates& updates)
{
    auto readBool = [&](BoolParameter& p) {
        const pugi::xml_node e = lf_findElement(parameters, p.name);
        p.value = e ? e.attribute("value").as_bool() : p.defaultValue;
        gf_logBoolParameter(p);
        if (!e)
            gf_appendBoolParameter(parameters, p.name, p.value);
    };
    for (BoolParameter* p : g_hiddenBoolParams)
        readBool(*p);
    for (CheckBoxParameter* p : g_boolParams) {
        readBool(*p);
        lf_showCheck(updates, *p, p->value);
    }

    auto readInts = [&](const auto& registry) {
        for (IntParameter* p : registry) {
            const pugi::xml_node e = lf_findElement(parameters, p->name);
            std::optional<int32_t> stored = e ? lf_storedInt(e.attribute("value")) : std::nullopt;
            p->value = stored ? std::clamp(*stored, p->minValue, p->maxValue) : p->defaultValue;
            gf_logIntParameter(*p);
            if (!e)
                gf_appendIntParameter(parameters, p->name, p->value);
            lf_showInt(updates, *p, p->value);
        }
    };
    readInts(g_intParams);
    readInts(g_listParams);

    auto readText = [&](StringParameter& p) {
        const pugi::xml_node e = lf_findElement(parameters, p.name);
        p.setValue(e ? std::string(e.attribute("value").as_string()) : p.defaultValue);
        gf_logParameter(p);
        if (!e)
            gf_appendParameterElement(parameters, p.name, p.value());
    };
    for (StringParameter* p : g_stringParams)
        readText(*p);
    for (EditParameter* p : g_blockCallsignParams) {
        readText(*p);
        lf_showText(updates, *p, p->value());
    }
}

// The lock is held. True when the file was written anew with the defaults.
bool lf_readParameters(ControlUpdates& updates)
{
    const fs::path path = gf_parametersPath();
    const std::string pathText = gf_pathToUtf8(path);
    gf_logLine(lf_openingBanner());

    pugi::xml_document doc;
    std::string reason;
    const FileState state = lf_loadFile(doc, path, reason);
    const pugi::xml_node parameters = state == FileState::Loaded ? lf_parametersNode(doc) : pugi::xml_node();
    if (!parameters) {
        if (state == FileState::Missing) {
            gf_logLine("{} not found,  create new with default values:", pathText);
        } else {
            if (reason.empty())
                reason = "no parameters element";
            if (!gf_saveUpto3GenerationsOf(path)) {
                gf_logErrorLine("{} cannot be read ({}) nor kept as a copy: settings not read, file left as it is",
                                pathText, reason);
                gf_logLine(lf_closingBanner());
                return false;
            }
            gf_logLine("{} cannot be read ({}), kept as {};  create new with default values:", pathText, reason,
                       gf_pathToUtf8(lf_backupPath(path).filename()));
        }
        lf_saveParameters(true, updates);
        return true;
    }

    gf_logLine("from '{}'", pathText);
    lf_readInto(parameters, updates);
    if (!gf_saveXmlFile(doc, path))
        gf_logErrorLine("saving: {} failed", pathText);
    gf_logLine(lf_closingBanner());
    return false;
}

// Puts "root" around the content of a document that lacks it and saves it; the lock is
// held.
void lf_wrapRoot(const pugi::xml_document& unrooted, const fs::path& path)
{
    gf_logLine("\nPlacing a root level around a new parameters.xml to make it 100% xml compliance\n");
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("root");
    for (pugi::xml_node child : unrooted.children()) {
        if (child.type() != pugi::node_declaration)
            root.append_copy(child);
    }
    if (!gf_saveXmlFile(doc, path))
        gf_logErrorLine("saving: {} failed", gf_pathToUtf8(path));
}

// Stores one setting; the lock is held. True when the file was saved without "root".
bool lf_storeOne(const Parameter& p, const std::string& valueText, const std::function<void()>& logLine,
                 ControlUpdates& updates)
{
    const fs::path path = gf_parametersPath();
    const std::string pathText = gf_pathToUtf8(path);
    pugi::xml_document doc;
    std::string reason;
    switch (lf_loadFile(doc, path, reason)) {
    case FileState::Missing: {
        gf_appendParameterElement(doc.append_child("root").append_child("parameters"), p.name, valueText);
        logLine();
        if (!gf_saveXmlFile(doc, path))
            gf_logErrorLine("saving: {} failed", pathText);
        return false;
    }
    case FileState::Unusable:
        // Writing just this setting would lose every other one: keep the file, then
        // write all settings as they stand in memory.
        if (!gf_saveUpto3GenerationsOf(path)) {
            gf_logErrorLine("{} cannot be read ({}) nor kept as a copy: {} not stored", pathText, reason, p.name);
            return false;
        }
        gf_logLine("{} cannot be read ({}), kept as {}; all settings written from memory", pathText, reason,
                   gf_pathToUtf8(lf_backupPath(path).filename()));
        lf_saveParameters(false, updates);
        return false;
    case FileState::Loaded:
        break;
    }

    pugi::xml_node root = doc.child("root");
    pugi::xml_node parameters = lf_parametersNode(doc);
    if (!parameters)
        parameters = root ? root.append_child("parameters") : doc.append_child("parameters");
    bool matched = false;
    for (pugi::xml_node e : parameters.children("parameter")) {
        if (std::string_view(e.attribute("name").as_string()) != p.name)
            continue;
        matched = true;
        pugi::xml_attribute a = e.attribute("value");
        if (!a)
            a = e.append_attribute("value");
        a.set_value(valueText.c_str());
    }
    if (!matched)
        gf_appendParameterElement(parameters, p.name, valueText);
    logLine();
    if (!gf_saveXmlFile(doc, path))
        gf_logErrorLine("saving: {} failed", pathText);
    return !root;
}

void lf_store(const Parameter& p, const std::string& valueText, const std::function<void()>& logLine)
{
    ControlUpdates updates;
    bool unrooted;
    {
        std::lock_guard lock(g_parametersFileMutex);
        unrooted = lf_storeOne(p, valueText, logLine, updates);
    }
    lf_apply(updates);
    if (unrooted)
        gf_wrapRootLevel();
}

// The early read's part under the lock: the stored position, or a damaged file set aside.
void lf_readPositionLocked()
{
    const fs::path path = gf_parametersPath();
    const std::string pathText = gf_pathToUtf8(path);
    pugi::xml_document doc;
    std::string reason;
    switch (lf_loadFile(doc, path, reason)) {
    case FileState::Missing:
        return;
    case FileState::Unusable: {
        // Removed only once its backup exists.
        std::error_code ec;
        if (!gf_saveUpto3GenerationsOf(path)) {
            gf_logErrorLine("{} failed to load ({}) and cannot be set aside", pathText, reason);
        } else if (fs::remove(path, ec)) {
            gf_logErrorLine("{} failed to load, syntax error?\n --> saved as 0.xml,  file removed\n", pathText);
        } else {
            gf_logErrorLine("{} failed to load, syntax error?\n --> saved as 0.xml\n", pathText);
        }
        return;
    }
    case FileState::Loaded:
        break;
    }
    for (IntParameter* p : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
        const auto stored = gf_findIntParameter(doc, p->name);
        p->value = stored ? std::clamp(*stored, p->minValue, p->maxValue) : p->defaultValue;
    }
}

} // namespace

bool gf_readParameters()
{
    ControlUpdates updates;
    bool created;
    {
        std::lock_guard lock(g_parametersFileMutex);
        created = lf_readParameters(updates);
    }
    lf_apply(updates);
    return created;
}

void gf_saveParameters(bool defaults)
{
    ControlUpdates updates;
    {
        std::lock_guard lock(g_parametersFileMutex);
        lf_saveParameters(defaults, updates);
    }
    lf_apply(updates);
}

void gf_storeBoolParameter(const BoolParameter& p)
{
    lf_store(p, lf_boolText(p.value), [&p] { gf_logBoolParameter(p); });
}

void gf_storeIntParameter(const IntParameter& p)
{
    lf_store(p, std::to_string(p.value.load()), [&p] { gf_logIntParameter(p); });
}

void gf_saveParameter(const StringParameter& p)
{
    lf_store(p, p.value(), [&p] { gf_logParameter(p); });
}

void gf_readWindowPosition()
{
    std::lock_guard lock(g_parametersFileMutex);
    lf_readPositionLocked();
}

void gf_wrapRootLevel()
{
    std::lock_guard lock(g_parametersFileMutex);
    const fs::path path = gf_parametersPath();
    pugi::xml_document doc;
    std::string reason;
    if (lf_loadFile(doc, path, reason) == FileState::Loaded && !doc.child("root"))
        lf_wrapRoot(doc, path);
}

bool gf_removeParameterElement(std::string_view key)
{
    std::lock_guard lock(g_parametersFileMutex);
    const fs::path path = gf_parametersPath();
    pugi::xml_document doc;
    std::string reason;
    if (lf_loadFile(doc, path, reason) != FileState::Loaded)
        return true;
    pugi::xml_node element = lf_findElement(lf_parametersNode(doc), key);
    if (!element)
        return true;
    element.parent().remove_child(element);
    gf_logUnlessStopping("Parameter '{}' removed", key);
    return gf_saveXmlFile(doc, path);
}

void gf_replaceParametersByDefaults()
{
    ControlUpdates updates;
    {
        std::lock_guard lock(g_parametersFileMutex);
        const fs::path path = gf_parametersPath();
        std::error_code ec;
        if (fs::status(path, ec).type() != fs::file_type::not_found)
            gf_saveUpto3GenerationsOf(path);
        lf_saveParameters(true, updates);
    }
    lf_apply(updates);
}

std::optional<bool> gf_findBoolParameter(const pugi::xml_document& doc, std::string_view key)
{
    const pugi::xml_node e = lf_findElement(lf_parametersNode(doc), key);
    if (!e)
        return std::nullopt;
    return e.attribute("value").as_bool();
}

std::optional<int32_t> gf_findIntParameter(const pugi::xml_document& doc, std::string_view key)
{
    const pugi::xml_node e = lf_findElement(lf_parametersNode(doc), key);
    if (!e)
        return std::nullopt;
    return lf_storedInt(e.attribute("value"));
}

std::optional<std::string> gf_findTextParameter(const pugi::xml_document& doc, std::string_view key)
{
    const pugi::xml_node e = lf_findElement(lf_parametersNode(doc), key);
    if (!e)
        return std::nullopt;
    return std::string(e.attribute("value").as_string());
}

bool gf_appendParameterElement(pugi::xml_node node, std::string_view key, std::string_view text)
{
    pugi::xml_node e = node.append_child("parameter");
    if (!e)
        return false;
    pugi::xml_attribute name = e.append_attribute("name");
    if (!name || !name.set_value(std::string(key).c_str()))
        return false;
    pugi::xml_attribute value = e.append_attribute("value");
    return value && value.set_value(std::string(text).c_str());
}

bool gf_appendBoolParameter(pugi::xml_node node, std::string_view key, bool value)
{
    return gf_appendParameterElement(node, key, lf_boolText(value));
}

bool gf_appendIntParameter(pugi::xml_node node, std::string_view key, int32_t value)
{
    return gf_appendParameterElement(node, key, std::to_string(value));
}

void gf_logBoolParameter(const BoolParameter& p)
{
    gf_logUnlessStopping("{}={}", p.name, lf_boolText(p.value));
}

void gf_logIntParameter(const IntParameter& p)
{
    gf_logUnlessStopping("{}={}", p.name, p.value.load());
}

void gf_logParameter(const StringParameter& p)
{
    gf_logUnlessStopping("{}=\"{}\"", p.name, p.value());
}
