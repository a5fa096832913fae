#pragma once
// The main window with the demo Тиврон-А <3> of the sample catalogue opened from its stored file, and
// the controls of its pages found by the tabs' captions.
#include <QApplication>
#include <QString>
#include <QTabWidget>
#include <QTest>

#include "editor/components.h"
#include "editor/main_form.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "tests/support/test_paths.h"

inline CTreeNode *ModelNamed(const CTree &catalogue, const QString &name)
{
    for (CTreeNode *d = catalogue.firstNode(); d; d = d->nextSibling())
        if (d->device() && d->device()->name == name)
            return d;
    return nullptr;
}

struct DemoPages {
    CTree catalogue;
    CTree file;
    TMainForm form;

    // Loads and shows the pages in a window of the given size; false when a file is missing.
    bool Open(const QSize &size)
    {
        if (!ReadXmlToTree(SourcePath("data/devices.xml"), catalogue) ||
            !ReadXmlToTree(SourcePath("data/demo/tivron-a-3.DEV"), file))
            return false;
        CTreeNode *device = ModelNamed(catalogue, "Тиврон-А");
        if (!device)
            return false;
        form.CurrentDevice = device->shared();
        form.resize(size);
        form.show();
        QApplication::setActiveWindow(&form);
        form.BuildDevicePages(device, file.firstNode(), true);
        return QTest::qWaitForWindowActive(&form);
    }
    // The number of the page whose tab reads caption; empty when there is none.
    QString PageNumber(const QString &caption) const
    {
        for (int i = 0; i < form.PageControl->count() && i < int(form.PageIds.size()); ++i)
            if (form.PageControl->tabText(i) == caption)
                return QString::number(form.PageIds[i]);
        return {};
    }
    // Shows the page whose tab reads caption.
    void ShowPage(const QString &caption)
    {
        for (int i = 0; i < form.PageControl->count(); ++i)
            if (form.PageControl->tabText(i) == caption)
                form.PageControl->setCurrentIndex(i);
    }
    template <class T>
    T *Find(const QString &name, int depth = 4) const
    {
        return FindComponent<T>(name, form.PageControl, depth);
    }
};
