#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

// The IP address control: four octet fields in one frame. The value is a
// 32-bit number with the first octet most significant; a blank field reads 0.
class IpAddressEdit : public QFrame {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    uint32_t Address() const;
    void SetAddress(uint32_t address);
    void Clear();
    QLineEdit* Field(int index) const { return m_fields[static_cast<size_t>(index)]; }

signals:
    // Any change of the value, by the operator or by the program.
    void AddressChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnFieldEdited(int index);
    std::array<QLineEdit*, 4> m_fields{};
};
