#pragma once
// The one way XML files are saved and loaded: UTF-8 with the declaration version "1.0"
// and encoding "UTF-8", two-blank indentation, no byte-order mark; saved through a
// temporary file so that a crash never leaves a broken file; paths of any characters.
#include <cstddef>
#include <filesystem>
#include <string>

#include <pugixml.hpp>

// True when the file was written completely; false (target unchanged) otherwise. A
// document nested deeper than 32 elements is written without indentation.
bool gf_saveXmlFile(pugi::xml_document& doc, const std::filesystem::path& path);
// pugixml's load_file with its default options, for a path of any characters.
pugi::xml_parse_result gf_loadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path);
// How deeply elements nest below the node (its children are level 1; 0 without any).
size_t gf_xmlDepth(const pugi::xml_node& top);
// The attribute's value as an owned text; empty when the node has no such attribute.
std::string gf_getAttributeString(const pugi::xml_node& node, const char* name);
