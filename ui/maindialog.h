// SPDX-License-Identifier: Apache-2.0
// The main window: the certificate form, its two file pickers, "Generate
// Certificate", the About dialog and the link label in the footer. It is the form that the
// generation logic reads, addressed by control number.
#pragma once

#include "core/certrequest.h"

#include <QDialog>
#include <QHash>

#include <memory>

namespace Ui {
class MainDialog;
}

class CLinkLabel;
class DialogPrompts;

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
    void SetBusy(bool busy);

    std::unique_ptr<Ui::MainDialog> m_ui;
    std::unique_ptr<DialogPrompts> m_ownPrompts;
    DialogPrompts* m_prompts;
    QHash<int, QWidget*> m_controls;
    bool m_busy = false;
};
