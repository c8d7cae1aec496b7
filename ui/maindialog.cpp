// SPDX-License-Identifier: Apache-2.0
#include "ui/maindialog.h"

#include "core/generate.h"
#include "ui/aboutdialog.h"
#include "ui/dialogprompts.h"
#include "ui/dialogunits.h"
#include "ui/linklabel.h"
#include "ui/resources.h"

#include "ui_maindialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QWhatsThis>

namespace {

const char* const kHelpOverview =
    "Fill in the subject of the certificate, choose the key length, the validity in days, the serial "
    "number and the password of the output file, pick the output file, then press \"Generate "
    "Certificate\". With a signing certificate and its password the new certificate is issued by it; "
    "without one it is self-signed.";

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

CMainDialog::~CMainDialog() = default;

void CMainDialog::OnInitDialog() {
    // A title bar without window menu, close, minimise or maximise buttons; a close request
    // from the window manager still ends the dialog as Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowIcon(ApplicationIcon());
    ApplyTemplateGeometry(*this);

    const auto digitsOnly =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    m_ui->validDaysEdit->setValidator(digitsOnly);
    m_ui->serialNumberEdit->setValidator(digitsOnly);

    m_ui->keyLengthList->setCurrentIndex(1);
    m_ui->validDaysEdit->setText(QString::number(365));
    m_ui->serialNumberEdit->setText(QString::number(1));

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
    // The outcome is shown with the ordinary pointer: the work is over by now.
    SetBusy(false);
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

void CMainDialog::OnGenerate() {
    struct Idle {
        CMainDialog* dialog;
        ~Idle() { dialog->SetBusy(false); }
    } idleAfterwards{this};
    SetBusy(true);
    // Let the busy pointer reach the screen; the user's input waits until the run is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    GenerateCertificate(*this);
}

void CMainDialog::OnBrowseSigningFile() {
    if (const std::optional<QString> file = m_prompts->ChooseSigningFile(this)) {
        m_ui->signingFileEdit->setText(*file);
    }
}

void CMainDialog::OnBrowseOutputFile() {
    if (const std::optional<QString> file = m_prompts->ChooseOutputFile(this)) {
        m_ui->outputFileEdit->setText(*file);
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
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}
