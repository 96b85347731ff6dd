#pragma once
// parameters.xml in the data folder: "root" / "parameters" / one "parameter" element with
// "name" and "value" per stored setting, in the order of the registries.
//
// Every load-edit-save of the file runs under one lock, so stores from the
// user-interface thread and the worker never overlap. Changes to the window's controls
// that a step implies are made after the lock is released.
//
// A file that cannot be used (it does not parse, has no "parameters", or nests deeper than
// 16 levels) is kept before it is replaced, as the newest of three backup generations:
// parameters0.xml, parameters00.xml, parameters000.xml.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "foundation/settings_model.h"

// Reads the whole file into the settings of the registries: ints clamped to their limits
// (a value that holds no number reads as the default), and the file saved back with every
// missing setting appended; stored elements stay as they are. When the file is missing or
// unusable it is written anew with the defaults (an unusable file is first kept as a
// backup generation, parameters0.xml) and the result is true; the settings keep their
// values then.
bool gf_readParameters();
// Writes the whole file from the registries: each setting's default or its current
// value. With the defaults, PROGRAM_VERSION's default becomes the running version first.
void gf_saveParameters(bool defaults);

// Write one setting's current value into the file at once; the caller assigns it first.
// A missing file gets a file with this one setting; a file that exists but cannot be
// used is kept and the whole file is written from memory.
void gf_storeBoolParameter(const BoolParameter& p);
void gf_storeIntParameter(const IntParameter& p);
void gf_saveParameter(const StringParameter& p);

// Before the window exists: reads MAIN_WINDOW_X and MAIN_WINDOW_Y alone (clamped; the
// default when missing). A file that cannot be used is kept, then removed for the full
// read.
void gf_readWindowPosition();

// Puts the element "root" around a file that lacks it, keeping everything it holds; a
// store that finds no "root" calls it.
void gf_wrapRootLevel();

// Removes the first "parameter" element named key; false only when the changed file
// could not be saved.
bool gf_removeParameterElement(std::string_view key);
// Keeps the current file as a backup, then writes the defaults.
void gf_replaceParametersByDefaults();

// Lookups in a loaded document ("parameters" under "root", or under the document when it
// has no "root"): the first "parameter" element whose "name" equals key exactly. Empty
// when there is none. An int is read as pugixml's as_int reads it, but a text that holds
// no number at all is empty too.
std::optional<bool> gf_findBoolParameter(const pugi::xml_document& doc, std::string_view key);
std::optional<int32_t> gf_findIntParameter(const pugi::xml_document& doc, std::string_view key);
std::optional<std::string> gf_findTextParameter(const pugi::xml_document& doc, std::string_view key);

// Append a "parameter" element with "name" and "value"; false when any part could not be
// added.
bool gf_appendBoolParameter(pugi::xml_node node, std::string_view key, bool value);
bool gf_appendIntParameter(pugi::xml_node node, std::string_view key, int32_t value);
bool gf_appendParameterElement(pugi::xml_node node, std::string_view key, std::string_view text);

// The setting lines "KEY=true", "KEY=12", KEY="text"; written only while no stop is pending.
void gf_logBoolParameter(const BoolParameter& p);
void gf_logIntParameter(const IntParameter& p);
void gf_logParameter(const StringParameter& p);
