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

unsigned long RestoreAssociation(const std::string& extension, const std::string& previous, bool resumed) {
    if (extension.empty() || MBPos("\\", extension) > 0) return ERROR_INVALID_NAME;
    const std::string extensionKey = "." + extension;
    const std::string ourClass = extension + "_auto_file";

    // Decided before anything changes: only a value that is still ours is
    // put back, and only then is our class ours to remove.
    std::string current;
    const bool named = ReadRegistryString(HKEY_CLASSES_ROOT, extensionKey, "", current) && !current.empty();
    const bool namedOurs = named && SameName(current, ourClass);
    // After a run cut short between the value and the class: the value is
    // back to what it was (or gone), and the class is still ours to remove.
    const bool restoredEarlier = resumed && !namedOurs && (!named || (!previous.empty() && SameName(current, previous)));
    if (namedOurs) {
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
    if ((namedOurs || restoredEarlier) && !SameName(previous, ourClass)) DeleteRegistryKey("(Class)", ourClass);
    return 0;
}
