// SPDX-License-Identifier: Apache-2.0
// A label that acts as a web link: link and visited colours from the palette, underline while
// hovered, a hand cursor, the address as tooltip, and a click, Enter or Space that opens the
// address. Screen readers meet it as a link.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QTimer>

#include <memory>

class LinkServices;

class CLinkLabel : public QLabel {
    Q_OBJECT

public:
    static constexpr int kHoverPollMs = 100;
    // Text at least this much brighter or darker than the window (WCAG 2 contrast ratio).
    static constexpr double kMinimumContrast = 4.5;

    explicit CLinkLabel(QWidget* parent = nullptr);
    ~CLinkLabel() override;

    // Stores the address; refits the label and updates the tooltip. The caption stays.
    void SetAddress(const QString& address);
    // The address a click opens: the caption while no address has been set.
    QString Address() const;

    // Sizes and places the label to its caption, keeping the alignment's anchor.
    void FitToText();

    // Opens the address; a code greater than 32 on success, else the failure's code.
    int OpenAddress(const QString& address);
    // Tells the user, in a message box, why the address did not open.
    void ReportOpenError(int code);
    static QString OpenErrorText(int code);

    // Tests put a stand-in for the desktop here; the label does not own it.
    void SetServices(LinkServices* services);

    bool IsHovering() const { return m_hovering; }
    bool IsVisited() const { return m_visited; }

    // The colours the label draws in: the palette's link colours, made readable on its window
    // colour. A hovered link keeps the link colour and is underlined.
    QColor LinkColour() const;
    QColor VisitedColour() const;
    QColor ShownColour() const;

    // What a click does: opens the address, and reports a failure.
    void Activate();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void OnTimer();
    void ApplyColour();
    void SetUnderlined(bool underlined);

    bool m_hovering = false;
    bool m_visited = false;
    bool m_pressed = false;
    bool m_applyingColour = false;
    QString m_address;
    QTimer m_hoverTimer;
    std::unique_ptr<LinkServices> m_ownServices;
    LinkServices* m_services;
};
