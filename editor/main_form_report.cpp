// The main window's report export: the configuration shown in the pages, written as a word-processing
// document and handed to the desktop's word processor.
#include <exception>

#include <QFile>

#include "app/message_dlg.h"
#include "editor/main_form.h"
#include "editor/word_report.h"
#include "model/config_tree.h"
#include "platform/event_loop.h"

void TMainForm::actExportWordExecute()
{
    EndCellEditing(); // the report shows what the pages show
    if (!RequirePages())
        return;
    QString failure;
    try {
        SetStatusText(ReportExportText);
        setEnabled(false);
        ProcessMessages(); // the status text shows before the work starts
        const TReportDocument report = ReportFromPages(*CurrentDevice, PageIds, PageControl);
        const QString path = NewReportPath();
        try {
            WriteReportDocx(path, report);
        } catch (...) {
            QFile::remove(path); // no empty or partial report is left behind
            throw;
        }
        // The report stays with the word processor; the program keeps no hold on it.
        if (!OpenDocument(path))
            throw TReportError(ReportNotOpenedText + path);
        SetStatusText(QString());
        setEnabled(true);
        return;
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
    } catch (...) {
    }
    // The export is over either way: its status text must not outlive it.
    SetStatusText(QString());
    setEnabled(true);
    ShowMessageDlg(ReportFailedText + failure, mtError, mbOK);
}
