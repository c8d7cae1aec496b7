// SPDX-License-Identifier: Apache-2.0
// The main window: the certificate form, its two file pickers, "Generate
// Certificate", the About dialog and the link label in the footer. It is the form that the
// generation logic reads, addressed by control number. The certificate is made on a worker
// thread while the window stays responsive; closing the window cancels it.
#pragma once

#include "core/certrequest.h"
#include "core/generate.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class MainDialog;
}

class CLinkLabel;
class DialogPrompts;
class GenerationRun;

class CMainDialog : public QDialog, public IFormAccess {
    Q_OBJECT

public:
    static constexpr const char* kMakerAddress = "https://www.varnock.example";

    // Tests pass their own prompts; the dialog does not own them.
    explicit CMainDialog(QWidget* parent = nullptr, DialogPrompts* prompts = nullptr);
    ~CMainDialog() override;

    std::int32_t GetKeyLengthSelection() override;
    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;

    // The control with this number; null when there is none.
    QWidget* Control(int control) const;
    CLinkLabel* LinkLabel() const;
    // A certificate is being made.
    bool IsGenerating() const { return m_run != nullptr; }

    // Ends the dialog; a run still going is cancelled first and waited for.
    void done(int result) override;

protected:
    std::string ControlText(int control) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog();
    void OnGenerate();
    void OnBrowseSigningFile();
    void OnBrowseOutputFile();
    void OnAbout();
    void OnHelp();
    // Checks the request's files and asks what must be asked before a key is made for it;
    // expands typed paths in place. The component's extra settings, or nothing to stop.
    std::optional<std::vector<std::string>> PrepareRun(CertRequest& request);
    void OnRunFinished(unsigned run, const GenerationOutcome& outcome);
    void ShowError(const QString& text);
    void SetBusy(bool busy);

    std::unique_ptr<Ui::MainDialog> m_ui;
    std::unique_ptr<DialogPrompts> m_ownPrompts;
    DialogPrompts* m_prompts;
    QHash<int, QWidget*> m_controls;
    // The output file as the save dialog gave it, when the user confirmed replacing it there.
    QString m_confirmedOutput;
    std::unique_ptr<GenerationRun> m_run;
    unsigned m_runNumber = 0;
    QString m_runOutput;
    QString m_generateText;
    QPointer<QWidget> m_focusBeforeRun;
    bool m_busy = false;
};
