#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "model/ip_settings.h"
#include "support/helper_program.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class IpAddressEdit;

// The IP settings dialog: the new address settings of an address-change run,
// remembered in "Ostrel.ini". The rules live in the core (actions/ip_settings).
// Its Keyboard button starts the keyboard through `startHelper` (the main
// window's starter); without one the button does nothing.
class CEditIP : public QDialog {
    Q_OBJECT
public:
    CEditIP(std::string dir, quillane::Language language, const quillane::IpDeviceValues& device,
            quillane::HelperStarter startHelper = {}, QWidget* parent = nullptr);

    // Valid after exec() returned Accepted.
    const quillane::IpSettingsValues& Result() const { return m_values; }
    QWidget* Control(int id) const;

public slots:
    void accept() override;  // OK: checks, saves, closes

private:
    void BuildControls();
    void ApplyTexts();
    void ShowValues();
    quillane::IpSettingsValues EnteredValues() const;
    void OnKeyboard();

    std::string m_strDir;
    quillane::Language m_nLanguage;
    quillane::IpDeviceValues m_device;
    quillane::HelperStarter m_startHelper;
    quillane::IpSettingsValues m_values;
    std::array<IpAddressEdit*, 5> m_addresses{};
    std::array<QCheckBox*, 5> m_checks{};
    QComboBox* m_cmbEditType = nullptr;
    QPushButton* m_btnKeyboard = nullptr;
};
