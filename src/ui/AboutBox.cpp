#include "ui/AboutBox.h"

#include "ui/UserPrompts.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrik {

namespace {

const QString programTitle = QStringLiteral("TAVRIK");
constexpr int majorVersion = 5;
constexpr int minorVersion = 0;
constexpr int iconSize = 48; // pixels

} // namespace

QPixmap programIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // A blue tile with a white T over a small scatter of points: a map of populations.
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x2f, 0x6f, 0xb5));
    tile.setColorAt(1, QColor(0x17, 0x3f, 0x73));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);

    p.setBrush(QColor(0xf4, 0xc4, 0x30));
    const qreal dot = s * 0.09;
    const QPointF dots[] = {{0.22, 0.78}, {0.36, 0.66}, {0.70, 0.74}, {0.80, 0.58}, {0.58, 0.86}};
    for (const QPointF& d : dots) {
        p.drawEllipse(QPointF(d.x() * s, d.y() * s), dot / 2, dot / 2);
    }

    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.20, s * 0.16, s * 0.60, s * 0.13));
    p.drawRect(QRectF(s * 0.435, s * 0.16, s * 0.13, s * 0.58));
    return pixmap;
}

QStringList defaultSystemInfoTools()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("msinfo32.exe")};
#else
    return {QStringLiteral("hardinfo2"),
            QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("plasma-systemmonitor"),
            QStringLiteral("ksysguard"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lxtask")};
#endif
}

QString findSystemInfoTool(const QStringList& tools, const QString& searchPath)
{
    const QStringList folders = searchPath.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& tool : tools) {
        for (const QString& folder : folders) {
            const QFileInfo candidate(QDir(folder), tool);
            if (candidate.isFile() && candidate.isExecutable()) {
                return candidate.absoluteFilePath();
            }
        }
    }
    return {};
}

AboutBox::AboutBox(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_prompts(prompts)
    , m_tools(defaultSystemInfoTools())
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    // Fixed dialog frame: a title and a close control, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programIcon(iconSize));
    picIcon->setFixedSize(iconSize, iconSize);

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    lblDescription = new QLabel(this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    // Plain text: the contact lines are shown as written, CR LF included.
    lblDescription->setTextFormat(Qt::PlainText);
    lblDescription->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(12);
    text->addWidget(lblDescription);

    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addSpacing(12);
    layout->addLayout(buttons);

    // Esc reaches QDialog::reject() and hides the box like OK does.
    connect(cmdOK, &QPushButton::clicked, this, &AboutBox::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutBox::startSystemInfo);

    setWindowTitle(tr("About ") + programTitle);
    lblTitle->setText(programTitle);
    lblVersion->setText(tr("Version ") + QString::number(majorVersion) + QLatin1Char('.') +
                        QString::number(minorVersion));
    setContactText();
    setFixedSize(sizeHint());
}

void AboutBox::setContactText()
{
    // The project's own contact; the number and the address are reserved for examples.
    const QStringList lines = {
        tr("For information or help contact:"),
        QString(),
        QStringLiteral("   The TAVRIK developers"),
        QStringLiteral("   Quantitative Trait Software Group"),
        QStringLiteral("   The TAVRIK Project"),
        QStringLiteral("   Exampleton 00000"),
        QString(),
        QStringLiteral("   Phone: +1 555 0100"),
        QStringLiteral("   Fax: +1 555 0101"),
        QStringLiteral("   E-mail: tavrik@example.org"),
    };
    lblDescription->setText(lines.join(QStringLiteral("\r\n")));
}

void AboutBox::setSystemInfoSearch(const QStringList& tools, const QString& searchPath)
{
    m_tools = tools;
    m_searchPath = searchPath;
    m_searchPathSet = true;
}

void AboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    cmdOK->setFocus();
}

void AboutBox::startSystemInfo()
{
    const QString searchPath =
        m_searchPathSet ? m_searchPath : QString::fromLocal8Bit(qgetenv("PATH"));
    const QString tool = findSystemInfoTool(m_tools, searchPath);
    if (!tool.isEmpty() && QProcess::startDetached(tool, {})) {
        return;
    }
    m_prompts.message(cmdOK,
                      UserPrompts::Icon::None,
                      programTitle,
                      tr("System Information Is Unavailable At This Time"));
}

} // namespace tavrik
