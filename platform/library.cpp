#include "platform/library.h"

#include <QLibrary>

struct LibraryHandleTag {
    QLibrary Library;
};

LibraryHandle LoadLibraryFile(const QString &path)
{
    auto *handle = new LibraryHandleTag;
    handle->Library.setFileName(path);
    if (!handle->Library.load()) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void *GetEntryPoint(LibraryHandle handle, const char *name)
{
    if (!handle)
        return nullptr;
    return reinterpret_cast<void *>(handle->Library.resolve(name));
}

void FreeLibraryHandle(LibraryHandle handle)
{
    if (!handle)
        return;
    handle->Library.unload();
    delete handle;
}
