// A node's custom properties (FBX user properties and custom properties, glTF extras) as the host's
// user-property text, where the exporter reads the swing key frames.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace importer {

// The key-frame line a property's value gives ("10 BALL_STRUCK" or "KEYFRAME 10 BALL_STRUCK", any
// case, around white space), as "KEYFRAME 10 BALL_STRUCK"; "" when the value is no key frame.
std::string KeyFrameLine(const std::string& value);

struct PropertyText {
    std::string text;                   // one line per property, "\r\n" between them
    std::vector<std::string> unread;    // properties meant as key frames that do not read
};

// The user-property text of a node's properties (name, value), in order: the FBX user-property
// text itself comes as is (name "UserProperties"); a value that reads as a key frame becomes its
// KEYFRAME line, whatever the property's name; any other becomes "name = value". A property whose
// name or value speaks of key frames but does not read as one is listed in unread.
PropertyText UserPropertyText(const std::vector<std::pair<std::string, std::string>>& properties);

}  // namespace importer
