#pragma once
#include <QString>

// A library loaded at run time, its entry points looked up by name.
using LibraryHandle = struct LibraryHandleTag *;

// Nothing when the file cannot be loaded.
LibraryHandle LoadLibraryFile(const QString &path);
// Nothing for a missing handle or entry point.
void *GetEntryPoint(LibraryHandle handle, const char *name);
// Unloads what LoadLibraryFile loaded; a null handle is left alone.
void FreeLibraryHandle(LibraryHandle handle);

template <typename Fn>
Fn GetEntryPointAs(LibraryHandle handle, const char *name)
{
    return reinterpret_cast<Fn>(GetEntryPoint(handle, name));
}
