// The main window's file commands: New, Open and Save of a configuration.
#include <exception>

#include <QAction>
#include <QTabWidget>

#include "app/message_dlg.h"
#include "editor/config_files.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "link/text_file_save.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"

namespace {
CTreeNode *CatalogueModel(const CTree &catalogue, const QString &name, const QString &version)
{
    for (CTreeNode *n = catalogue.firstNode(); n; n = n->nextSibling())
        if (const CDevice *d = n->device(); d && d->name == name && d->version == version)
            return n;
    return nullptr;
}
} // namespace

void TMainForm::actNewFileExecute()
{
    UsbCan.Disconnect();
    FreePages();
    PageIds.clear(); // the pages they named are gone
    CurrentDevice.reset(); // until a model is chosen the window shows no device
    SelectedColumn = -1;
    SelectedRow = -1;
    if (ConfigForm) {
        CTree &catalogue = ConfigForm->tvConfig->items();
        LoadXmlToTree(CataloguePath(ProgramDir), ConfigForm->tvConfig);
        TSelectDeviceForm dialog(this, false, catalogue, CataloguePath(ProgramDir));
        dialog.AddCatalogueModels();
        if (dialog.Execute() == mrOk) {
            // The chosen node itself, not the first model of its type id: models may share one.
            const TDeviceChoice choice = dialog.Choice();
            if (choice.Model && choice.Model->device()) {
                choice.Model->device()->device_addr = choice.Address;
                CurrentDevice = choice.Model;
                BuildDevicePages(CurrentDevice.get(), nullptr, false);
            }
        }
    }
    actSaveFile->setEnabled(true);
}

void TMainForm::actOpenFileExecute()
{
    // The open pages stay until a file has been read whose model the catalogue has.
    const std::optional<QString> path = ShowOpenConfigDialog(this);
    if (!path || !ConfigForm)
        return;
    LoadXmlToTree(CataloguePath(ProgramDir), ConfigForm->tvConfig);
    if (!LoadXmlToTree(*path, ConfigForm->tvConfigFile))
        return; // the loader said why; the file opened before is not shown instead
    CTreeNode *fileDevice = ConfigForm->tvConfigFile->items().firstNode();
    const CDevice *stored = fileDevice ? fileDevice->device() : nullptr;
    if (!stored)
        return;
    CTreeNode *model = CatalogueModel(ConfigForm->tvConfig->items(), stored->name, stored->version);
    if (!model) {
        ShowMessageDlg(ModelNotInCatalogueText(stored->name, stored->version), mtError, mbOK);
        return;
    }
    UsbCan.Disconnect();
    FreePages();
    PageIds.clear();
    SelectedColumn = -1;
    SelectedRow = -1;
    CurrentDevice = model->shared();
    actSaveFile->setEnabled(true);
    try {
        BuildDevicePages(model, fileDevice, true);
    } catch (const std::exception &e) {
        ShowMessageDlg(PagesBuildFailedText + QString::fromUtf8(e.what()), mtError, mbOK);
    }
}

void TMainForm::actSaveFileExecute()
{
    EndCellEditing(); // the file takes what the pages show
    if (!RequirePages(mtError))
        return;
    const std::optional<QString> chosen = ShowSaveConfigDialog(this);
    if (!chosen)
        return;
    const std::optional<QString> path =
        ConfirmSaveFileName(*chosen, [](const QString &name) { return ReplaceExtension(name, QStringLiteral(".DEV")); });
    if (!path)
        return;
    WriteConfigFile(*path, ConfigFileFromPages(*CurrentDevice, PageIds, PageControl));
}
