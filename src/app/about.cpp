#include "about.h"

#include "uCheckVersion.h"
#include "uCommon.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace quadrel {

namespace {

QPixmap Canvas(int W, int H, qreal Ratio) {
    QPixmap pm(QSize(W, H) * Ratio);
    pm.setDevicePixelRatio(Ratio);
    pm.fill(Qt::white);
    return pm;
}

QFont LogoFont(int PixelSize, int Weight) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(PixelSize);
    f.setWeight(static_cast<QFont::Weight>(Weight));
    return f;
}

} // namespace

QPixmap NorvaneLogo(qreal Ratio) {
    QPixmap pm = Canvas(241, 56, Ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A compass-like square: four cells, one of them filled.
    const QColor ink(0x1f, 0x4e, 0x79), accent(0x2e, 0x8b, 0xc0);
    const QRectF mark(6, 6, 44, 44);
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(mark, 6, 6);
    p.drawLine(QPointF(28, 6), QPointF(28, 50));
    p.drawLine(QPointF(6, 28), QPointF(50, 28));
    p.fillRect(QRectF(29, 7, 20, 20), accent);
    p.setPen(ink);
    p.setFont(LogoFont(26, QFont::Bold));
    p.drawText(QRectF(60, 4, 180, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Norvane"));
    p.setPen(QColor(0x55, 0x5f, 0x6b));
    p.setFont(LogoFont(11, QFont::Normal));
    p.drawText(QRectF(61, 34, 180, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("geodata tools"));
    return pm;
}

QPixmap PathwellLogo(qreal Ratio) {
    QPixmap pm = Canvas(241, 102, Ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A soft landscape band with a winding path and two way-points.
    QLinearGradient sky(0, 0, 0, 64);
    sky.setColorAt(0, QColor(0xe8, 0xf4, 0xec));
    sky.setColorAt(1, QColor(0xc9, 0xe6, 0xd2));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(4, 4, 233, 60), 8, 8);
    QPainterPath path;
    path.moveTo(14, 56);
    path.cubicTo(60, 20, 90, 64, 130, 36);
    path.cubicTo(165, 12, 195, 40, 226, 16);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2f, 0x7d, 0x4a), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0xd9, 0x6c, 0x2b));
    p.drawEllipse(QPointF(14, 56), 6, 6);
    p.drawEllipse(QPointF(226, 16), 6, 6);
    p.setPen(QColor(0x1e, 0x4d, 0x2e));
    p.setFont(LogoFont(24, QFont::Bold));
    p.drawText(QRectF(0, 66, 241, 34), Qt::AlignCenter, QStringLiteral("Pathwell"));
    return pm;
}

TLinkPicture::TLinkPicture(const QPixmap& Picture, const QString& Hint, std::string Url,
                           QWidget* Parent)
    : QLabel(Parent), FUrl(std::move(Url)) {
    setPixmap(Picture);
    setToolTip(Hint);
    setCursor(Qt::PointingHandCursor);
}

void TLinkPicture::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        ShellRun(FUrl, "", "", SW_SHOWNORMAL);
    QLabel::mouseReleaseEvent(e);
}

TForm2::TForm2(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(264, 271);
    setModal(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 248, 16);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 24, 248, 32);
    Label2->setWordWrap(true);
    Label2->setText(QStringLiteral("Made by Norvane and Pathwell, 2009-2026.\n"
                                   "Free to use; no warranty."));
    QFont small = Label2->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label2->setFont(small);

    const qreal ratio = devicePixelRatioF();
    Image1 = new TLinkPicture(NorvaneLogo(ratio), QStringLiteral("Visit Norvane website"),
                              NorvaneUrl, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 56, 241, 56);
    Image2 = new TLinkPicture(PathwellLogo(ratio), QStringLiteral("Visit Pathwell website"),
                              PathwellUrl, this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(8, 118, 241, 102);

    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("Button1"));
    CloseButton->setGeometry(95, 240, 75, 25);
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TForm2::FormCreate() {
    Label1->setText(QStringLiteral("Quadrel %1").arg(QLatin1String(ProgramVersion)));
}

} // namespace quadrel
