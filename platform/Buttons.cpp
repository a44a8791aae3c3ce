#include "platform/Buttons.h"

#include <QHBoxLayout>

#include "platform/Dialogs.h"
#include "ppImagen.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

// The button's picture page asks for files through the program's chooser, like every window.
static const bool kPictureChooser = [] {
  ppImagen::SetFileChooser([](QWidget* parent, const QString& caption, const QString& filter) {
    return ChooseOpenFile(parent, caption, filter);
  });
  return true;
}();

void ApplyButtonLook(pbCommand* b) {
  if (!b) return;
  b->setButtonType(pbCommand::WindowsXP);
  b->setColorScheme(pbCommand::UseWindows);
  b->setPicturePosition(pbCommand::cbLeft);
}

pbCommand* MakeButton(const QString& caption, QWidget* parent) {
  auto* b = new pbCommand(parent);
  ApplyButtonLook(b);
  b->setCaption(caption);
  b->resize(b->sizeHint());
  return b;
}

pbCommand* ButtonArray::add(int index, const QString& caption, QWidget* parent) {
  if (pbCommand* existing = at(index)) return existing;
  pbCommand* b = MakeButton(caption, parent);
  adopt(index, b);
  return b;
}

void ButtonArray::adopt(int index, pbCommand* button) {
  if (!button) return;
  buttons_.insert(index, button);
  connect(button, &pbCommand::Click, this, [this, index] { emit clicked(index); });
}

pbCommand* ButtonArray::at(int index) const { return buttons_.value(index).data(); }

int ButtonArray::indexOf(const pbCommand* button) const {
  for (auto it = buttons_.cbegin(); it != buttons_.cend(); ++it)
    if (it.value() == button) return it.key();
  return -1;
}

namespace {

// Sits on a window and clicks its default button on an Enter that no control of the window used.
class DefaultButtonFilter : public QObject {
public:
  explicit DefaultButtonFilter(QWidget* window) : QObject(window) { window->installEventFilter(this); }
  QPointer<pbCommand> button;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() != Qt::Key_Return && ke->key() != Qt::Key_Enter) return false;
    if (ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    Q_UNUSED(watched);
    if (!button || !button->isEnabled() || !button->isVisible()) return false;
    button->PerformClick();
    return true;
  }
};

DefaultButtonFilter* FilterOf(QWidget* window, bool create) {
  // The filter has no meta-object of its own, so findChild<> would match any child: look by type.
  for (QObject* child : window->children())
    if (auto* f = dynamic_cast<DefaultButtonFilter*>(child)) return f;
  return create ? new DefaultButtonFilter(window) : nullptr;
}

}  // namespace

void MarkDefaultButton(pbCommand* button) {
  if (!button) return;
  QWidget* window = button->window();
  DefaultButtonFilter* f = FilterOf(window, true);
  if (f->button && f->button != button) f->button->setDisplayAsDefault(false);
  f->button = button;
  button->setDisplayAsDefault(true);
}

pbCommand* DefaultButtonOf(QWidget* window) {
  if (!window) return nullptr;
  DefaultButtonFilter* f = FilterOf(window->window(), false);
  return f ? f->button.data() : nullptr;
}

void SetButtonPicture(pbCommand* button, const QImage& image) {
  if (!button) return;
  button->setImagen(pbCommand::StreamFromImage(image));
  button->updateGeometry();
}

QHBoxLayout* RightAlignedButtons(std::initializer_list<QWidget*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  for (QWidget* b : buttons) row->addWidget(b);
  return row;
}
