#include "record/EntryFlags.h"

#include <cstring>

#include "app/uUtils.h"

namespace {

bool IsMarker(const std::string& part, const char* known) {
    if (part.size() != 1) return false;
    char c = part[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return c != '\0' && std::strchr(known, c) != nullptr;
}

}  // namespace

EntryFlags EntryFlags::Read(const std::string& field, const char* known) {
    EntryFlags flags;
    flags.shared = IPos("/S", field) > 0;
    flags.confirm = IPos("/C", field) > 0;
    flags.leave = IPos("/L", field) > 0;
    flags.force = IPos("/F", field) > 0;
    flags.overwrite = IPos("/W", field) > 0;
    flags.registered = IPos("/R", field) > 0;

    // "/" is never the trail byte of a double-byte character (those start
    // at 0x40), so a byte search splits the parts.
    const std::string text = !field.empty() && field[0] == ',' ? field.substr(1) : field;
    size_t slash = text.find('/');
    flags.lead = text.substr(0, slash);
    while (slash != std::string::npos) {
        const size_t next = text.find('/', slash + 1);
        const std::string part = text.substr(slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
        if (!IsMarker(part, known)) flags.unknown.push_back(part);
        slash = next;
    }
    return flags;
}
