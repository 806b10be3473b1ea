#pragma once

#include <QDialog>

// The About box, in Chinese whatever the interface language.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
