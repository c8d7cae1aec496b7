// SPDX-License-Identifier: Apache-2.0
#include "ui/maindialog.h"

#include "core/secret.h"
#include "ui/aboutdialog.h"
#include "ui/dialogprompts.h"
#include "ui/dialogunits.h"
#include "ui/filepaths.h"
#include "ui/generationrun.h"
#include "ui/linklabel.h"
#include "ui/passwordfield.h"
#include "ui/resources.h"
#include "ui/screenfit.h"

#include "ui_maindialog.h"

#include <certmgr.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QWhatsThis>

#include <algorithm>

namespace {

const char* const kHelpOverview =
    "Fill in the subject of the certificate, choose the key length, the validity in days, the serial "
    "number and the password of the output file, pick the output file, then press \"Generate "
    "Certificate\". With a signing certificate and its password the new certificate is issued by it; "
    "without one it is self-signed.";

// What the user can change; all of it waits while a certificate is made. Close stays, to cancel.
constexpr int kInputs[] = {IDC_COUNTRY,
                           IDC_STATE,
                           IDC_CITY,
                           IDC_ORGANIZATION,
                           IDC_ORGANIZATIONAL_UNIT,
                           IDC_COMMON_NAME,
                           IDC_KEY_LENGTH,
                           IDC_VALID_DAYS,
                           IDC_SERIAL_NUMBER,
                           IDC_PASSWORD,
                           IDC_CERT_AUTHORITY,
                           IDC_SIGNING_FILE,
                           IDC_BROWSE_SIGNING_FILE,
                           IDC_SIGNING_PASSWORD,
                           IDC_OUTPUT_FILE,
                           IDC_BROWSE_OUTPUT_FILE,
                           IDC_GENERATE};

}  // namespace

CMainDialog::CMainDialog(QWidget* parent, DialogPrompts* prompts)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::MainDialog>()),
      m_ownPrompts(prompts ? nullptr : std::make_unique<QtDialogPrompts>()),
      m_prompts(prompts ? prompts : m_ownPrompts.get()) {
    EnsureResources();
    m_ui->setupUi(this);
    for (QWidget* control : findChildren<QWidget*>()) {
        if (const QVariant number = control->property("controlId"); number.isValid()) {
            m_controls.insert(number.toInt(), control);
        }
    }

    connect(m_ui->generateButton, &QPushButton::clicked, this, &CMainDialog::OnGenerate);
    connect(m_ui->browseSigningFileButton, &QPushButton::clicked, this, &CMainDialog::OnBrowseSigningFile);
    connect(m_ui->browseOutputFileButton, &QPushButton::clicked, this, &CMainDialog::OnBrowseOutputFile);
    connect(m_ui->aboutButton, &QPushButton::clicked, this, &CMainDialog::OnAbout);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &CMainDialog::OnHelp);

    OnInitDialog();
}

CMainDialog::~CMainDialog() {
    m_run.reset();
    SetBusy(false);
}

void CMainDialog::OnInitDialog() {
    // A title bar without window menu, close, minimise or maximise buttons; a close request
    // from the window manager still ends the dialog as Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowIcon(ApplicationIcon());

    for (const std::int32_t bits : kKeyLengths) {
        m_ui->keyLengthList->addItem(QString::number(bits));
    }
    m_ui->keyLengthList->setCurrentIndex(
        int(std::find(kKeyLengths.begin(), kKeyLengths.end(), kDefaultKeyLength) - kKeyLengths.begin()));

    AddRevealAction(*m_ui->passwordEdit);
    AddRevealAction(*m_ui->signingPasswordEdit);
    // The help text of a control also tells a screen reader what it is for.
    for (QWidget* control : findChildren<QWidget*>()) {
        if (!control->whatsThis().isEmpty() && control->accessibleDescription().isEmpty()) {
            control->setAccessibleDescription(control->whatsThis());
        }
    }

    ApplyTemplateGeometry(*this);
    FitDialogToScreen(*this, {m_ui->generateButton, m_ui->closeButton, m_ui->aboutButton});

    const auto digitsOnly =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    m_ui->validDaysEdit->setValidator(digitsOnly);
    m_ui->serialNumberEdit->setValidator(digitsOnly);
    m_ui->validDaysEdit->setText(QString::number(365));

    const QString address = QString::fromLatin1(kMakerAddress);
    m_ui->linkLabel->setText(QStringLiteral("(%1)").arg(address));
    m_ui->linkLabel->SetAddress(address);

    m_ui->countryEdit->setFocus();
}

QWidget* CMainDialog::Control(int control) const {
    return m_controls.value(control);
}

CLinkLabel* CMainDialog::LinkLabel() const {
    return m_ui->linkLabel;
}

std::string CMainDialog::ControlText(int control) {
    QString text;
    QWidget* widget = Control(control);
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        text = field->text();
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        text = list->currentText();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        text = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
    }
    return text.toStdString();
}

std::int32_t CMainDialog::GetKeyLengthSelection() {
    return m_ui->keyLengthList->currentIndex();
}

void CMainDialog::MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    m_prompts->ShowMessage(this, QString::fromStdString(text), QString::fromStdString(caption), icon);
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        // Enter runs the focused push button. Anywhere else it would end the dialog and drop
        // everything typed into the form, so there it does nothing.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
            button->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainDialog::done(int result) {
    if (m_run) {
        // The component stops at its next progress event and writes nothing; this is the one
        // place the window waits for the worker.
        m_run->Cancel();
        m_run.reset();
        SetBusy(false);
    }
    QDialog::done(result);
}

void CMainDialog::OnGenerate() {
    if (m_run) {
        return;
    }
    // The form is read whole before anything else happens, the output file first.
    if (!CheckOutputFile(*this)) {
        return;
    }
    CertRequest request = ReadCertRequest(*this);
    const std::optional<std::vector<std::string>> settings = PrepareRun(request);
    if (!settings) {
        WipeSecrets(request);
        return;
    }
    // A confirmation in the save dialog covers one run, not the file that run writes.
    m_confirmedOutput.clear();
    m_runOutput = QString::fromStdString(request.outputFile);
    m_focusBeforeRun = focusWidget();
    SetBusy(true);
    const unsigned run = ++m_runNumber;
    m_run = std::make_unique<GenerationRun>(
        std::move(request), *settings, this,
        [this, run](const GenerationOutcome& outcome) { OnRunFinished(run, outcome); });
}

std::optional<std::vector<std::string>> CMainDialog::PrepareRun(CertRequest& request) {
    const QString typedOutput = m_ui->outputFileEdit->text();
    const QString output = ExpandTypedPath(QString::fromStdString(request.outputFile));
    request.outputFile = output.toStdString();
    if (HasSigningFile(request)) {
        const QString signing = ExpandTypedPath(QString::fromStdString(request.signingFile));
        request.signingFile = signing.toStdString();
        if (IsSameFile(output, signing)) {
            ShowError(
                QStringLiteral("The output file is the signing certificate file. Choose another file to "
                               "write the new certificate to."));
            return std::nullopt;
        }
    }
    if (const std::optional<QString> problem = OutputLocationProblem(output)) {
        ShowError(*problem);
        return std::nullopt;
    }

    const QFileInfo target(output);
    const bool exists = target.exists() || target.isSymLink();
    const QString caption = QString::fromLatin1(kAppCaption);
    // The save dialog asked already for the file it gave; a typed name is asked about here.
    if (exists && typedOutput != m_confirmedOutput &&
        !m_prompts->AskYesNo(this,
                             QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                 .arg(QDir::toNativeSeparators(output)),
                             caption)) {
        return std::nullopt;
    }
    if (request.password.empty() &&
        !m_prompts->AskYesNo(this, QStringLiteral("Save the private key without a password?"), caption)) {
        m_ui->passwordEdit->setFocus();
        return std::nullopt;
    }

    // Without a yes to replacing, a file that appears in the meantime is left alone.
    std::vector<std::string> settings = {SettingText(CERTMGR_SETTING_REPLACE_EXISTING, exists ? 1 : 0)};
    if (m_ui->certAuthorityCheck->isChecked()) {
        settings.push_back(SettingText(CERTMGR_SETTING_AUTHORITY, 1));
    }
    return settings;
}

void CMainDialog::OnRunFinished(unsigned run, const GenerationOutcome& outcome) {
    // An outcome that was already on its way when its run was cancelled has no one to tell.
    if (!m_run || run != m_runNumber) {
        return;
    }
    m_run.reset();
    SetBusy(false);
    QString text = QString::fromStdString(outcome.message);
    if (outcome.written) {
        text += QLatin1Char('\n') + QDir::toNativeSeparators(m_runOutput);
    }
    m_prompts->ShowMessage(this, text, QString::fromLatin1(kAppCaption), outcome.icon);
    if (m_focusBeforeRun) {
        m_focusBeforeRun->setFocus();
    }
}

void CMainDialog::ShowError(const QString& text) {
    m_prompts->ShowMessage(this, text, QString::fromLatin1(kAppCaption), MessageIcon::Error);
}

void CMainDialog::OnBrowseSigningFile() {
    if (const std::optional<QString> file = m_prompts->ChooseSigningFile(this)) {
        m_ui->signingFileEdit->setText(*file);
    }
}

void CMainDialog::OnBrowseOutputFile() {
    if (const std::optional<QString> file = m_prompts->ChooseOutputFile(this)) {
        m_ui->outputFileEdit->setText(*file);
        // The save dialog only lets an existing file through once the user agreed to replace it.
        const QFileInfo chosen(*file);
        m_confirmedOutput = chosen.exists() || chosen.isSymLink() ? *file : QString();
    }
}

void CMainDialog::OnAbout() {
    CAboutDialog about(this);
    about.exec();
}

void CMainDialog::OnHelp() {
    QWidget* focused = focusWidget();
    QString help = focused ? focused->whatsThis() : QString();
    if (help.isEmpty()) {
        help = QString::fromLatin1(kHelpOverview);
    }
    const QWidget* anchor = focused ? focused : this;
    QWhatsThis::showText(anchor->mapToGlobal(QPoint(0, anchor->height())), help, this);
}

void CMainDialog::SetBusy(bool busy) {
    if (busy == m_busy) {
        return;
    }
    m_busy = busy;
    for (const int control : kInputs) {
        if (QWidget* widget = Control(control)) {
            widget->setEnabled(!busy);
        }
    }
    if (busy) {
        m_generateText = m_ui->generateButton->text();
        m_ui->generateButton->setText(QStringLiteral("Generating\u2026"));
        // The busy pointer, not the wait pointer: Close still answers, and cancels.
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        m_ui->generateButton->setText(m_generateText);
        QApplication::restoreOverrideCursor();
    }
}
