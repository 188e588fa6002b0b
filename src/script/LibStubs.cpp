#include "script/Library.h"
namespace script::lib {
Dispatch* newFileSystemObject() { return nullptr; }
Dispatch* newRegExp() { return nullptr; }
Dispatch* newWshShell() { return nullptr; }
}
