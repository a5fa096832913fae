#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

// Run-time controls of the pages are found by name through their logical owners, not through Qt's
// parent tree: a tab widget's stacked widget and an item view's viewport add levels the name search
// must not count. Every control a page builds is registered with the owner the page design gives it
// (page control -> tab sheet -> list view / tool bar / panel -> editors, panel controls -> ...).

// Appends component to owner's components, in creation order. A component has one owner; registering
// it again moves it. A deleted component drops out of the list by itself.
void AddComponent(QObject *owner, QObject *component);
// Takes component out of its owner's list (before freeing it by hand).
void RemoveComponent(QObject *owner, QObject *component);
// The components owner owns, in order; deleted ones left out.
QList<QObject *> Components(const QObject *owner);

// Sets the name and registers the control with its owner; returns the control.
template <class T>
T *NameComponent(T *component, QObject *owner, const QString &name)
{
    component->setObjectName(name);
    AddComponent(owner, component);
    return component;
}

// Searches the components owned by root, in order: a component named exactly name is returned;
// otherwise, with depth above 1, its own components are searched with depth - 1 before the next
// sibling is tried. Null when nothing matches or root is null. Under the main window's PageControl,
// depth 2 reaches a sheet's direct components (lvQ + n, tvKey + n), depth 3 also theirs (edit + n).
QObject *FindComponentByName(const QString &name, const QObject *root, int depth);

template <class T>
T *FindComponent(const QString &name, const QObject *root, int depth)
{
    return dynamic_cast<T *>(FindComponentByName(name, root, depth));
}

// Page ids from the names of run-time controls ("lvQ12", "chkPHos12_3").
// The number between prefix and the first "_" (or the end); -1 when name does not start with prefix
// or that part is not a decimal number.
int PageIdFromName(const QString &name, const QString &prefix);
// The text after the first "_" of name; empty when there is none.
QString NameTail(const QString &name);
// name with its leading oldPrefix replaced by newPrefix ("edit7" -> "lvQ7"); empty when name does not
// start with oldPrefix.
QString SwapNamePrefix(const QString &name, const QString &oldPrefix, const QString &newPrefix);

// The page number of a tab sheet (the old Tag), kept as the widget property "Tag"; 0 for none.
int PageTag(const QObject *sheet);
void SetPageTag(QObject *sheet, int tag);
