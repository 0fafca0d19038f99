#include "uninstall/Associations.h"

#include <windows.h>

#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "sysops/Deletion.h"
#include "sysops/Registry.h"
#include "sysops/Shell.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
    return MapString(a, LCMAP_UPPERCASE) == MapString(b, LCMAP_UPPERCASE);
}

}  // namespace

unsigned long RestoreAssociation(const std::string& extension, const std::string& previous) {
    if (extension.empty() || MBPos("\\", extension) > 0) return ERROR_INVALID_NAME;
    const std::string extensionKey = "." + extension;
    const std::string ourClass = extension + "_auto_file";

    // Decided before anything changes: only a value that is still ours is
    // put back, and only then is our class ours to remove.
    std::string current;
    const bool namedOurs = ReadRegistryString(HKEY_CLASSES_ROOT, extensionKey, "", current) && !current.empty() &&
                           SameName(current, ourClass);
    if (namedOurs) {
        if (!SameName(previous, ourClass)) DeleteRegistryKey("(Class)", ourClass);
        try {
            if (!previous.empty())
                WriteRegistryString(HKEY_CLASSES_ROOT, extensionKey, "", previous);
            else if (!DeleteRegistryValue(HKEY_CLASSES_ROOT, extensionKey, ""))
                return ERROR_ACCESS_DENIED;
        } catch (const RegistryWriteError& error) {
            return static_cast<unsigned long>(error.code());
        }
    }
    if (RegistryKeyEmpty(HKEY_CLASSES_ROOT, extensionKey)) DeleteRegistryKey("(Class)", extensionKey);
    return 0;
}
