#pragma once
// Undoing one file association of the install run under HKEY_CLASSES_ROOT,
// without taking what other programs keep under the same extension.
#include <string>

// The extension (without its "."), and the default value ".extension" had
// before the installation (empty when it had none). When the extension
// still names this installation's class extension + "_auto_file", its
// default value is set back to the previous value, or removed when there was
// none; a default value that another program has set since is left alone.
// The key ".extension" is deleted only when it then holds no value and no
// subkey, and the class only when the extension named it (and it was not
// already the previous value). The class goes before the value is put
// back: a run cut short in between leaves the extension naming our class,
// from which the next run decides the same again (nothing outside the
// registry has to tell it so). 0, ERROR_INVALID_NAME for an extension that
// is empty or holds "\", or the registry's code when the value could not
// be written.
unsigned long RestoreAssociation(const std::string& extension, const std::string& previous);
