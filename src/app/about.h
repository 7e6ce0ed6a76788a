#pragma once
// The about box: the program's name and version, the makers' notice and the two
// makers' logos, each a link to its maker's web site.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <string>

namespace quadrel {

// A picture that opens a web address when clicked, with a hand cursor and a hint.
class TLinkPicture : public QLabel {
    Q_OBJECT
public:
    TLinkPicture(const QPixmap& Picture, const QString& Hint, std::string Url, QWidget* Parent);
    const std::string& Url() const { return FUrl; }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    std::string FUrl;
};

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* Parent = nullptr);

    // The makers' web sites.
    static constexpr const char* NorvaneUrl = "https://norvane.example/";
    static constexpr const char* PathwellUrl = "https://pathwell.example/";

    QLabel* Label1;           // "Quadrel 1.03"
    QLabel* Label2;           // the makers' notice
    TLinkPicture* Image1;     // first maker's logo
    TLinkPicture* Image2;     // second maker's logo
    QPushButton* CloseButton; // "Close"

    void FormCreate();
};

// The makers' logos, drawn rather than shipped (241 x 56 and 241 x 102 pixels),
// sharp at the screen's device pixel ratio.
QPixmap NorvaneLogo(qreal DevicePixelRatio);
QPixmap PathwellLogo(qreal DevicePixelRatio);

} // namespace quadrel
