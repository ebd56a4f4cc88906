// An entry field for one dotted-quad IPv4 address: a read-only line edit that frames
// four small octet edits separated by "." labels, with the keyboard moving between
// octets as in an address field and a whole address pasted at once.
#pragma once

#include <QLineEdit>

class ZRInputIpLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ZRInputIpLineEdit(QWidget* parent = nullptr);
    ~ZRInputIpLineEdit() override;

    // Fills the octets from a valid address; warns and changes nothing otherwise.
    void setIpAddress(const QString& address);
    // The four octets joined with "."; empty when all four are empty.
    QString ipAddress() const;
    void clearIpAddress();
    static bool isValidIp(const QString& address);
    int octetIndex(QObject* object) const;

signals:
    void lineEidtTextChanged();

private slots:
    void IpTextChanged(QString text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    void focusOctet(int index, int cursorPosition);
    void fillOctets(const QString& address);

    QLineEdit* octetEdits[4];
};
