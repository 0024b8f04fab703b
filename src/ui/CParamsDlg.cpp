#include "ui/CParamsDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <array>
#include <new>
#include <stdexcept>
#include <vector>

#include "resources/Strings.h"
#include "ui/EditLengthLimit.h"
#include "ui/ExchangeContext.h"
#include "ui/GroupFrame.h"
#include "ui/MessageBox.h"
#include "ui/TypedDigitsOnly.h"

namespace orv::ui {

namespace {

constexpr int kNoId = -1;
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kFirstEnabled = 2001;      // + map
constexpr int kFirstCoefficient = 3001;  // + 6 * map + coefficient
constexpr int kFirstSizeButton = 1043;
constexpr int kAutoIterations = 1047;
constexpr int kIterationCount = 1048;

constexpr std::int32_t kMinIterations = 1;
constexpr std::int32_t kMaxIterations = 32;
constexpr double kCoefficientLimit = 1.7e308;
// What the user may type or paste into a coefficient edit. The dialog's own texts may be longer
// ("-0.333333333333333", "-1.23456789012346e+100") and are shown whole.
constexpr int kCoefficientInputLimit = 16;

enum class Kind {
    button,
    defaultButton,
    groupFrame,
    checkBox,
    centredLabel,
    leftLabel,
    edit,
    radio
};

struct ControlTemplate {
    int id;
    Kind kind;
    const char* text;  // UTF-8
    QRect units;       // x, y, width, height in dialog units
    bool groupStart = false;
};

// The layout in template order, which is also the tab order and the order the size group is
// walked in.
std::vector<ControlTemplate> dialogTemplate() {
    std::vector<ControlTemplate> controls = {
        {kOk, Kind::defaultButton, "OK", {175, 225, 50, 14}},
        {kCancel, Kind::button, "Отмена", {115, 225, 50, 14}},
        {kNoId, Kind::groupFrame, "Афинные преобразования", {5, 5, 330, 150}},
    };
    static constexpr std::array<const char*, 6> kColumnHeads = {"a", "b", "c", "d", "e", "f"};
    for (int map = 0; map < kMapCount; ++map) {
        controls.push_back({kFirstEnabled + map, Kind::checkBox, "", {15, 33 + 20 * map, 16, 8}});
        if (map == 0) {
            for (int column = 0; column < 6; ++column) {
                controls.push_back({kNoId,
                                    Kind::centredLabel,
                                    kColumnHeads[column],
                                    {51 + 50 * column, 15, 8, 8}});
            }
        }
        for (int column = 0; column < 6; ++column) {
            // The b column is one unit taller than the others in the original layout.
            const int height = column == 1 ? 15 : 14;
            controls.push_back({kFirstCoefficient + 6 * map + column,
                                Kind::edit,
                                "",
                                {35 + 50 * column, 30 + 20 * map, 40, height}});
        }
    }
    const std::vector<ControlTemplate> rest = {
        {kNoId, Kind::groupFrame, "Размер изображения", {5, 160, 135, 55}},
        {kFirstSizeButton, Kind::radio, "64 x 64", {20, 175, 39, 10}, true},
        {1044, Kind::radio, "128 x 128", {20, 185, 47, 10}},
        {1045, Kind::radio, "256 x 256", {20, 195, 47, 10}},
        {1046, Kind::radio, "512 x 512", {75, 175, 47, 10}},
        {1049, Kind::radio, "1024 x 1024", {75, 185, 55, 10}},
        {1050, Kind::radio, "2048 x 2048", {75, 195, 55, 10}},
        {kNoId, Kind::groupFrame, "Итерации", {150, 160, 185, 55}},
        {kAutoIterations,
         Kind::checkBox,
         "автоматическое определение числа итераций",
         {160, 175, 172, 10}},
        {kNoId, Kind::leftLabel, "Явное задание:", {160, 193, 54, 8}, true},
        {kIterationCount, Kind::edit, "", {220, 190, 40, 14}},
    };
    controls.insert(controls.end(), rest.begin(), rest.end());
    return controls;
}

// A size button takes the focus from a click or an arrow key but is never a Tab stop. Qt makes
// the focused button of an exclusive group one (so that Tab can enter the group at its checked
// button) every time that button takes the focus; this takes that back at once.
class SizeButton : public QRadioButton {
public:
    SizeButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        QRadioButton::focusInEvent(event);
        setFocusPolicy(Qt::ClickFocus);
    }
};

QWidget* createControl(const ControlTemplate& entry, QWidget* dialog) {
    const QString text = QString::fromUtf8(entry.text);
    switch (entry.kind) {
        case Kind::button:
        case Kind::defaultButton: {
            auto* button = new QPushButton(text, dialog);
            button->setDefault(entry.kind == Kind::defaultButton);
            return button;
        }
        case Kind::groupFrame:
            return new GroupFrame(text, dialog);
        case Kind::checkBox:
            return new QCheckBox(text, dialog);
        case Kind::centredLabel:
        case Kind::leftLabel: {
            auto* label = new QLabel(text, dialog);
            label->setAlignment(Qt::AlignTop | (entry.kind == Kind::centredLabel ? Qt::AlignHCenter
                                                                                 : Qt::AlignLeft));
            return label;
        }
        case Kind::edit:
            return new QLineEdit(dialog);
        case Kind::radio:
            return new SizeButton(text, dialog);
    }
    throw std::logic_error("unknown control kind");
}

}  // namespace

CParamsDlg::CParamsDlg(orv::ParameterBlock& block, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      block_(block) {
    setWindowTitle(QString::fromUtf8("Параметры СИФ"));
    setFont(dialogFont(logicalDpiY()));
    baseUnits_ = baseUnitsOf(font());
    setFixedSize(dialogSizeToPixels({342, 246}, baseUnits_));
    createControls();
}

void CParamsDlg::createControls() {
    for (const ControlTemplate& entry : dialogTemplate()) {
        QWidget* control = createControl(entry, this);
        control->setProperty(kControlIdProperty, entry.id);
        control->setProperty(kGroupStartProperty, entry.groupStart);
        if (entry.id != kNoId) {
            control->setObjectName(QString::number(entry.id));
        }
        control->setGeometry(dialogRectToPixels(entry.units, baseUnits_));
    }
    new TypedDigitsOnly(static_cast<QLineEdit*>(control(kIterationCount)));
    connect(static_cast<QPushButton*>(control(kOk)), &QPushButton::clicked, this,
            &CParamsDlg::accept);
    connect(static_cast<QPushButton*>(control(kCancel)), &QPushButton::clicked, this,
            &CParamsDlg::reject);
    connect(static_cast<QCheckBox*>(control(kAutoIterations)), &QCheckBox::clicked, this,
            &CParamsDlg::OnAutoIterationsClicked);
}

QWidget* CParamsDlg::control(int id) const {
    return findControl(this, id);
}

int CParamsDlg::exec() {
    if (!InitControls()) {
        setResult(-1);
        return -1;
    }
    centreOnScreen();
    return QDialog::exec();
}

bool CParamsDlg::InitControls() {
    if (!runExchange(false)) {
        return false;
    }
    opened_ = block_;
    control(kIterationCount)->setEnabled(block_.autoIterations == 0);
    for (int id = kFirstCoefficient; id < kFirstCoefficient + 6 * kMapCount; ++id) {
        auto* edit = static_cast<QLineEdit*>(control(id));
        if (edit->validator() == nullptr) {  // a second run keeps the first run's limit
            new EditLengthLimit(edit, kCoefficientInputLimit);
        }
    }
    control(kOk)->setFocus();
    return true;
}

void CParamsDlg::accept() {
    if (runExchange(true)) {
        QDialog::accept();
    }
}

void CParamsDlg::ExchangeParameters(ExchangeContext& context) {
    ExchangeCheck(context, kAutoIterations, block_.autoIterations);
    // The count is checked even while the automatic count makes it irrelevant.
    ExchangeInt(context, kIterationCount, block_.iterationCount);
    CheckIntRange(context, block_.iterationCount, kMinIterations, kMaxIterations);
    ExchangeRadio(context, kFirstSizeButton, block_.sizeIndex);
    for (int map = 0; map < kMapCount; ++map) {
        ExchangeCheck(context, kFirstEnabled + map, block_.enabled[map]);
        for (int index = 0; index < 6; ++index) {
            double& value = coefficient(block_, map, index);
            ExchangeDouble(context, kFirstCoefficient + 6 * map + index, value);
            CheckDoubleRange(context, value, -kCoefficientLimit, kCoefficientLimit);
        }
    }
}

void CParamsDlg::OnAutoIterationsClicked() {
    const bool automatic = static_cast<QCheckBox*>(control(kAutoIterations))->isChecked();
    control(kIterationCount)->setEnabled(!automatic);
}

bool CParamsDlg::runExchange(bool saving) {
    ExchangeContext context;
    context.saving = saving;
    context.dialog = this;
    try {
        ExchangeParameters(context);
        return true;
    } catch (const ExchangeFailed&) {
        return false;  // already reported
    } catch (const std::bad_alloc&) {
        // Not the user's doing, so the focus stays where it was.
        MessageBox::show(this, QString::fromUtf8(orv::res::kOutOfMemory));
        return false;
    } catch (const std::exception&) {
        MessageBox::show(this, QString::fromUtf8(orv::res::kInternalError));
        return false;
    }
}

void CParamsDlg::centreOnScreen() {
    const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen == nullptr) {
        return;
    }
    // The frame counts in the centring; some window systems know it only once the window exists
    // (and others only once it is shown, where the centre is off by half the frame).
    create();
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(frame);
    move(QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, outer, screen->availableGeometry())
             .topLeft());
}

}  // namespace orv::ui
