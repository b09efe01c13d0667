#include "app/toolkit/gtk/gtk_toolkit.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/toolkit/form.h"
#include "text/codepage.h"

namespace tuvaro::toolkit {
namespace {

// ---- Ownership of GObjects ----------------------------------------------------------------

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// ---- Constant tables ------------------------------------------------------------------------

// Zoom of the page's text for the form's text size 0 (smallest) to 4 (largest).
constexpr std::array<double, 5> kTextSizeZoom = {0.75, 0.875, 1.0, 1.15, 1.3};

// How long to wait for the window manager to tell its frame extents before assuming none.
constexpr int kFrameExtentsPolls = 1000;
constexpr gulong kFrameExtentsPollMicroseconds = 1000;

// A bound on one processPendingEvents call, so that a source that is always ready (a page's
// timer, for example) cannot keep the caller from going on.
constexpr int kMaxPendingEventsPerCall = 1000;

// Looks of the controls that GTK's own properties cannot give.
constexpr const char* kStyleSheet = R"css(
button.tuvaro-image-button {
  background-image: none; background-color: transparent; box-shadow: none;
  border-color: transparent; padding: 0; min-width: 0; min-height: 0;
  outline-style: none; text-shadow: none;
}
button.tuvaro-image-button:hover, button.tuvaro-image-button:active {
  border-color: @borders;
}
eventbox.tuvaro-holder { background-color: transparent; background-image: none; }
button.tuvaro-picture-button { padding: 0; min-width: 0; min-height: 0; }
entry.tuvaro-edit-box {
  min-height: 0; padding-top: 0; padding-bottom: 0; border-radius: 0;
}
entry.tuvaro-black-on-white { color: black; background-color: white; background-image: none; }
entry.tuvaro-black-on-white text { color: black; }
entry.tuvaro-hide-selection:not(:focus) selection {
  background-color: transparent; color: inherit;
}
)css";

// The page shown in the box when a page cannot be loaded: %s is the address, escaped.
constexpr const char* kLoadFailedPage = R"html(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>无法访问此网站</title>
<style>body{font-family:sans-serif;margin:2em;color:#333;background:#fafafa}
h1{font-size:1.3em}p.address{color:#666;word-break:break-all}</style></head>
<body><h1>无法访问此网站</h1><p>无法连接到网站，请检查网络后再搜索一次。</p>
<p class="address">%s</p></body></html>)html";

std::string resourcePath(std::string_view name) {
  return std::string(kResourcePrefix) + "pictures/" + std::string(name);
}

GObjectPtr<GdkPixbuf> loadPicture(std::string_view name) {
  if (name.empty()) return nullptr;
  g_autoptr(GError) error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_resource(resourcePath(name).c_str(), &error);
  if (pixbuf == nullptr) g_warning("picture %s: %s", std::string(name).c_str(), error->message);
  return GObjectPtr<GdkPixbuf>(pixbuf);
}

// Pixels of the colour of the top-left pixel become transparent.
GObjectPtr<GdkPixbuf> withTopLeftColourTransparent(GdkPixbuf* picture) {
  const guchar* pixel = gdk_pixbuf_read_pixels(picture);
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_add_alpha(picture, TRUE, pixel[0], pixel[1], pixel[2]));
}

// Does `work` on the user-interface thread's main context and waits until it has been done.
// If the user-interface thread never gets to it (the program is ending), the caller waits
// until the process ends, which is what a worker must do then.
void runOnMainContextAndWait(std::function<void(std::function<void()> done)> work) {
  struct Call {
    std::function<void(std::function<void()>)> work;
    std::mutex mutex;
    std::condition_variable finished;
    bool isDone = false;
  };
  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  auto* held = new std::shared_ptr<Call>(call);
  g_main_context_invoke_full(
      nullptr, G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        std::shared_ptr<Call> running = *static_cast<std::shared_ptr<Call>*>(data);
        running->work([running] {
          std::lock_guard lock(running->mutex);
          running->isDone = true;
          running->finished.notify_all();
        });
        return G_SOURCE_REMOVE;
      },
      held, [](gpointer data) { delete static_cast<std::shared_ptr<Call>*>(data); });
  std::unique_lock lock(call->mutex);
  call->finished.wait(lock, [&call] { return call->isDone; });
}

}  // namespace

// ---- The toolkit's state ----------------------------------------------------------------------

struct GtkToolkit::Impl {
  struct Control {
    const ControlForm* form = nullptr;
    GtkWidget* widget = nullptr;  // owned by the window
    GtkWidget* holder = nullptr;  // the control's own window in the stack; holds `widget`
    GObjectPtr<GdkPixbuf> picture;
    int width = 0;  // browser box: the size last written
    int height = 0;
  };

  ExitHook exitHook = nullptr;
  bool exitHookRun = false;
  std::thread::id uiThread;
  GMainLoop* loop = nullptr;
  bool windowClosed = false;  // the program is ending: waiting workers stay waiting

  const WindowForm* form = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* layout = nullptr;
  GObjectPtr<GdkPixbuf> background;
  std::map<std::string, Control, std::less<>> controls;

  WebKitWebView* browser = nullptr;
  Control* browserControl = nullptr;
  Text statusText;
  Text newWindowAddress;  // only while event 9 is raised
  // Until the window is on the screen, a page to load waits here: starting the web process
  // would otherwise hold up the window's first appearance, and nothing of the box shows yet.
  bool windowMapped = false;
  std::optional<std::string> addressAwaitingMap;

  std::vector<GtkWidget*> openMessageBoxes;
  std::atomic<int> runningThreads{0};

  Control* find(std::string_view name) {
    auto it = controls.find(name);
    return it == controls.end() ? nullptr : &it->second;
  }

  void buildWindow(const WindowForm& windowForm);
  GtkWidget* makeControl(Control& control);
  void stackControls();
  GtkWidget* makeBrowserBox(Control& control);
  void placeWindow();
  void resizeBrowserBox();
  void load(WebKitWebView* view, const Text& address);
  bool raiseNewWindow(const Text& address);

  // Signal handlers, named after their signals.
  static void onWindowDestroy(GtkWidget* widget, Impl* self);
  static gboolean onWindowMapEvent(GtkWidget* widget, GdkEvent* event, Impl* self);
  static gboolean onWindowKeyPressEvent(GtkWidget* widget, GdkEventKey* event, Impl* self);
  static gboolean onWindowKeyPressEventAfter(GtkWidget* widget, GdkEventKey* event, Impl* self);
  static gboolean onLayoutDraw(GtkWidget* widget, cairo_t* cr, Impl* self);
  static gboolean onImageButtonDraw(GtkWidget* widget, cairo_t* cr, Control* control);
  static gboolean onPictureButtonDrawAfter(GtkWidget* widget, cairo_t* cr, Control* control);
  static void onButtonClicked(GtkButton* button, Control* control);

  // The browser box's signals, all connected in connectBrowserSignals.
  void connectBrowserSignals(WebKitWebView* view);
  static GtkWidget* onCreate(WebKitWebView* view, WebKitNavigationAction* action, Impl* self);
  static void onMouseTargetChanged(WebKitWebView* view, WebKitHitTestResult* hit, guint modifiers,
                                   Impl* self);
  static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, Impl* self);
  static gboolean onPermissionRequest(WebKitWebView* view, WebKitPermissionRequest* request,
                                      Impl* self);
  static gboolean onAuthenticate(WebKitWebView* view, WebKitAuthenticationRequest* request,
                                 Impl* self);
  static gboolean onRunFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request,
                                   Impl* self);
  static gboolean onRunColorChooser(WebKitWebView* view, WebKitColorChooserRequest* request,
                                    Impl* self);
  static gboolean onPrint(WebKitWebView* view, WebKitPrintOperation* operation, Impl* self);
  static gboolean onShowNotification(WebKitWebView* view, WebKitNotification* notification,
                                     Impl* self);
  static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent loadEvent,
                               const gchar* failingUri, GError* error, Impl* self);
  static gboolean onKeyPressEvent(GtkWidget* view, GdkEventKey* event, Impl* self);
  static gboolean onButtonPressEvent(GtkWidget* view, GdkEventButton* event, Impl* self);
};

GtkToolkit::GtkToolkit() : impl_(std::make_unique<Impl>()) {}

GtkToolkit::~GtkToolkit() {
  if (impl_->loop != nullptr) g_main_loop_unref(impl_->loop);
}

// ---- Start, window, loop ------------------------------------------------------------------------

void GtkToolkit::startUp(ExitHook exitHook) {
  impl_->exitHook = exitHook;
  impl_->uiThread = std::this_thread::get_id();
  g_set_prgname(kApplicationId);
  // The program reads no command line.
  gtk_init(nullptr, nullptr);
  // After gtk_init, which would otherwise derive the window class from the program name.
  gdk_set_program_class(kApplicationId);
  impl_->loop = g_main_loop_new(nullptr, FALSE);

  g_autoptr(GtkCssProvider) css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kStyleSheet, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

  // The web pages run in WebKit's sandbox. Only a test harness may turn it off, through
  // WebKit's own environment variable.
  webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
}

void GtkToolkit::loadWindow(const WindowForm& form) {
  impl_->buildWindow(form);
  if (form.onCreated != nullptr) form.onCreated();
  gtk_widget_show_all(impl_->window);
  impl_->stackControls();
  // No control has the focus at first: the hint shows as it is, black on white, and a stray
  // key cannot replace it.
  gtk_window_set_focus(GTK_WINDOW(impl_->window), nullptr);
  // A browser box written to 0 x 0 before the window was shown stays out of sight.
  impl_->resizeBrowserBox();
}

void GtkToolkit::runMessageLoop() {
  // The window may have gone while events were handled during start-up.
  if (!impl_->windowClosed) g_main_loop_run(impl_->loop);
}

void GtkToolkit::runExitHook() {
  if (impl_->exitHookRun) return;
  impl_->exitHookRun = true;
  if (impl_->exitHook != nullptr) impl_->exitHook();
}

void GtkToolkit::Impl::buildWindow(const WindowForm& windowForm) {
  form = &windowForm;
  window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* gtkWindow = GTK_WINDOW(window);
  gtk_window_set_title(gtkWindow, textToUtf8(textFromUtf8(windowForm.caption).view()).c_str());
  gtk_window_set_resizable(gtkWindow, windowForm.resizable);
  gtk_window_set_skip_taskbar_hint(gtkWindow, !windowForm.shownInTaskBar);
  gtk_window_set_keep_above(gtkWindow, windowForm.alwaysOnTop);
  gtk_window_set_role(gtkWindow, "main");
  if (GObjectPtr<GdkPixbuf> icon = loadPicture(windowForm.icon)) {
    gtk_window_set_icon(gtkWindow, icon.get());
  }
  background = loadPicture(windowForm.background.resource);

  layout = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(window), layout);
  g_signal_connect(layout, "draw", G_CALLBACK(onLayoutDraw), this);
  g_signal_connect(window, "destroy", G_CALLBACK(onWindowDestroy), this);
  g_signal_connect(window, "map-event", G_CALLBACK(onWindowMapEvent), this);
  g_signal_connect(window, "key-press-event", G_CALLBACK(onWindowKeyPressEvent), this);
  g_signal_connect_after(window, "key-press-event", G_CALLBACK(onWindowKeyPressEventAfter), this);

  // GTK draws a container's children that have a window of their own (the web view has one)
  // before, that is under, those that draw on the container's window (an entry, a button),
  // whatever order they were put in. So each control gets a window of its own, a holder, and
  // the holders are stacked in the form's order once they exist (stackControls).
  for (const ControlForm& controlForm : windowForm.controls) {
    Control& control = controls[std::string(controlForm.name)];
    control.form = &controlForm;
    GtkWidget* widget = makeControl(control);
    control.holder = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(control.holder), TRUE);
    gtk_style_context_add_class(gtk_widget_get_style_context(control.holder), "tuvaro-holder");
    gtk_widget_set_no_show_all(control.holder, !controlForm.visible);
    gtk_container_add(GTK_CONTAINER(control.holder), widget);
    gtk_layout_put(GTK_LAYOUT(layout), control.holder, controlForm.left, controlForm.top);
  }

  gtk_widget_realize(window);
  GdkWindow* gdkWindow = gtk_widget_get_window(window);
  int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
  if (windowForm.minimisable) functions |= GDK_FUNC_MINIMIZE;
  if (windowForm.maximisable) functions |= GDK_FUNC_MAXIMIZE;
  if (windowForm.resizable) functions |= GDK_FUNC_RESIZE;
  gdk_window_set_functions(gdkWindow, static_cast<GdkWMFunction>(functions));
  placeWindow();
}

namespace {

struct FrameExtents {
  long left = 0, right = 0, top = 0, bottom = 0;
};

// Asks the window manager for the frame it will put around `window` and waits a little for
// the answer. A window manager that does not tell gives no frame.
FrameExtents requestFrameExtents(GtkWidget* window) {
  FrameExtents extents;
  GdkWindow* gdkWindow = gtk_widget_get_window(window);
  if (!GDK_IS_X11_WINDOW(gdkWindow)) return extents;
  GdkScreen* screen = gdk_window_get_screen(gdkWindow);
  if (!gdk_x11_screen_supports_net_wm_hint(
          screen, gdk_atom_intern_static_string("_NET_REQUEST_FRAME_EXTENTS"))) {
    return extents;
  }
  Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
  const Window xid = GDK_WINDOW_XID(gdkWindow);
  const Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
  const Atom property = XInternAtom(display, "_NET_FRAME_EXTENTS", False);

  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = xid;
  message.xclient.message_type = request;
  message.xclient.format = 32;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  XFlush(display);

  for (int poll = 0; poll < kFrameExtentsPolls; ++poll) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(gdk_window_get_display(gdkWindow));
    const int status = XGetWindowProperty(display, xid, property, 0, 4, False, XA_CARDINAL, &type,
                                          &format, &count, &after, &data);
    gdk_x11_display_error_trap_pop_ignored(gdk_window_get_display(gdkWindow));
    if (status == Success && data != nullptr && format == 32 && count == 4) {
      const auto* values = reinterpret_cast<const long*>(data);
      extents = {values[0], values[1], values[2], values[3]};
      XFree(data);
      return extents;
    }
    if (data != nullptr) XFree(data);
    g_usleep(kFrameExtentsPollMicroseconds);
  }
  return extents;
}

}  // namespace

// The outer size includes the frame; the window is centred by the form's formula on the
// screen, whatever position the form stores.
void GtkToolkit::Impl::placeWindow() {
  const FrameExtents frame = requestFrameExtents(window);
  const int clientWidth = form->outerWidth - static_cast<int>(frame.left + frame.right);
  const int clientHeight = form->outerHeight - static_cast<int>(frame.top + frame.bottom);
  gtk_widget_set_size_request(layout, std::max(clientWidth, 1), std::max(clientHeight, 1));

  GdkDisplay* display = gtk_widget_get_display(window);
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle screen{0, 0, form->outerWidth, form->outerHeight};
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &screen);
  int left = form->storedLeft;
  int top = form->storedTop;
  if (form->centred) {
    left = screen.x + (screen.width - form->outerWidth) / 2;
    top = screen.y + (screen.height - form->outerHeight) / 2;
  }
  // With the default north-west gravity this places the frame's top-left corner.
  gtk_window_move(GTK_WINDOW(window), left, top);
}

// ---- Controls ----------------------------------------------------------------------------------

// Raises the holders' windows from the bottom of the form's list to its top, so that the
// first control of the form lies above all others, as the form says.
void GtkToolkit::Impl::stackControls() {
  if (form == nullptr) return;
  for (auto it = form->controls.rbegin(); it != form->controls.rend(); ++it) {
    Control* control = find(it->name);
    if (control == nullptr) continue;
    if (GdkWindow* own = gtk_widget_get_window(control->holder)) gdk_window_raise(own);
  }
}

GtkWidget* GtkToolkit::Impl::makeControl(Control& control) {
  const ControlForm& controlForm = *control.form;
  GtkWidget* widget = nullptr;
  switch (controlForm.kind) {
    case ControlKind::kImageButton:
    case ControlKind::kPushButton: {
      widget = gtk_button_new();
      GtkStyleContext* style = gtk_widget_get_style_context(widget);
      const std::string caption = textToUtf8(textFromUtf8(controlForm.caption).view());
      if (controlForm.captionShown && !caption.empty()) {
        GtkWidget* label = gtk_label_new(caption.c_str());
        gtk_widget_set_halign(label, GTK_ALIGN_CENTER);
        gtk_widget_set_valign(label, GTK_ALIGN_CENTER);
        gtk_container_add(GTK_CONTAINER(widget), label);
      }
      atk_object_set_name(gtk_widget_get_accessible(widget), caption.c_str());
      if (controlForm.flat) gtk_button_set_relief(GTK_BUTTON(widget), GTK_RELIEF_NONE);
      control.picture = loadPicture(controlForm.picture.resource);
      if (control.picture && controlForm.picture.topLeftColourTransparent) {
        control.picture = withTopLeftColourTransparent(control.picture.get());
      }
      if (controlForm.kind == ControlKind::kImageButton) {
        // The picture lies under the caption and the hover border.
        gtk_style_context_add_class(style, "tuvaro-image-button");
        g_signal_connect(widget, "draw", G_CALLBACK(onImageButtonDraw), &control);
      } else {
        // The picture is the face: drawn over the button's own background.
        gtk_style_context_add_class(style, "tuvaro-picture-button");
        g_signal_connect_after(widget, "draw", G_CALLBACK(onPictureButtonDrawAfter), &control);
      }
      gtk_widget_set_can_default(widget, controlForm.defaultButton);
      g_signal_connect(widget, "clicked", G_CALLBACK(onButtonClicked), &control);
      break;
    }
    case ControlKind::kEditBox: {
      widget = gtk_entry_new();
      GtkEntry* entry = GTK_ENTRY(widget);
      gtk_entry_set_text(entry, textToUtf8(textFromUtf8(controlForm.initialText).view()).c_str());
      gtk_entry_set_has_frame(entry, controlForm.border == EditBorder::kSunken);
      gtk_entry_set_max_length(entry, controlForm.maxLength);
      gtk_entry_set_activates_default(entry, FALSE);
      gtk_entry_set_alignment(entry, 0.0f);
      GtkStyleContext* style = gtk_widget_get_style_context(widget);
      gtk_style_context_add_class(style, "tuvaro-edit-box");
      if (controlForm.blackOnWhite) gtk_style_context_add_class(style, "tuvaro-black-on-white");
      if (controlForm.hideSelectionUnfocused) {
        gtk_style_context_add_class(style, "tuvaro-hide-selection");
      }
      break;
    }
    case ControlKind::kBrowserBox:
      widget = makeBrowserBox(control);
      break;
  }
  control.widget = widget;
  gtk_widget_set_size_request(widget, controlForm.width, controlForm.height);
  gtk_widget_set_sensitive(widget, controlForm.enabled);
  gtk_widget_set_no_show_all(widget, !controlForm.visible);
  return widget;
}

GtkWidget* GtkToolkit::Impl::makeBrowserBox(Control& control) {
  const ControlForm& controlForm = *control.form;
  GtkWidget* widget = webkit_web_view_new();
  auto* view = WEBKIT_WEB_VIEW(widget);
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_zoom_text_only(settings, TRUE);
  const auto size = static_cast<std::size_t>(std::clamp(controlForm.textSize, 0, 4));
  webkit_web_view_set_zoom_level(view, kTextSizeZoom[size]);
  // The browser's own pop-up blocker stays: a page's unrequested window.open never becomes a
  // new-window request.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  // Shown, the box reaches past the bottom of the window. WebKit's composited drawing then
  // takes the part of the box inside the window from the wrong end (the box's bottom rather
  // than its top) and leaves the top rows of the page undrawn, so that whatever lies under the
  // box shows there. Its plain drawing, which GTK clips itself, draws the whole page.
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  control.width = controlForm.width;
  control.height = controlForm.height;
  browser = view;
  browserControl = &control;
  connectBrowserSignals(view);
  return widget;
}

// The box is shown and hidden by its size alone and keeps its page; at 0 in either direction
// nothing of it may show, so it is then taken out of sight rather than given a 1-pixel size.
void GtkToolkit::Impl::resizeBrowserBox() {
  if (browserControl == nullptr) return;
  GtkWidget* widget = browserControl->widget;
  const bool visible = browserControl->width > 0 && browserControl->height > 0;
  if (visible) gtk_widget_set_size_request(widget, browserControl->width, browserControl->height);
  // The holder, not the view alone: a holder left in sight would take the clicks meant for
  // the controls under it.
  gtk_widget_set_child_visible(browserControl->holder, visible);
  gtk_widget_queue_resize(browserControl->holder);
  // Shown again, the holder's window comes up on top of all others (GDK raises a window that
  // it shows), which would hide the image button above it.
  stackControls();
}

void GtkToolkit::Impl::load(WebKitWebView* view, const Text& address) {
  std::string uri = textToUtf8(address.view());
  if (!windowMapped) {
    addressAwaitingMap = std::move(uri);  // the latest address wins, as it would on screen
    return;
  }
  // Loading always starts anew, also for the address that is already shown.
  webkit_web_view_load_uri(view, uri.c_str());
}

gboolean GtkToolkit::Impl::onWindowMapEvent(GtkWidget*, GdkEvent*, Impl* self) {
  self->windowMapped = true;
  if (self->addressAwaitingMap && self->browser != nullptr) {
    const std::string uri = std::move(*self->addressAwaitingMap);
    self->addressAwaitingMap.reset();
    webkit_web_view_load_uri(self->browser, uri.c_str());
  }
  return FALSE;
}

// ---- Properties ---------------------------------------------------------------------------------

Text GtkToolkit::readTextProperty(std::string_view control, int property) {
  Impl::Control* found = impl_->find(control);
  if (found == nullptr) return Text();
  switch (found->form->kind) {
    case ControlKind::kEditBox:
      if (property == property::kEditContent) {
        return textFromUtf8(gtk_entry_get_text(GTK_ENTRY(found->widget)));
      }
      break;
    case ControlKind::kBrowserBox:
      if (property == property::kBrowserStatusText) return impl_->statusText;
      if (property == property::kBrowserNewWindowAddress) return impl_->newWindowAddress;
      break;
    case ControlKind::kPushButton:
    case ControlKind::kImageButton:
      break;
  }
  return Text();
}

void GtkToolkit::writeTextProperty(std::string_view control, int property, const Text& value) {
  if (control == kMainWindow) {
    if (property == property::kWindowCaption && impl_->window != nullptr) {
      gtk_window_set_title(GTK_WINDOW(impl_->window), textToUtf8(value.view()).c_str());
    }
    return;
  }
  Impl::Control* found = impl_->find(control);
  if (found == nullptr) return;
  if (found->form->kind == ControlKind::kBrowserBox && property == property::kBrowserAddress) {
    impl_->load(WEBKIT_WEB_VIEW(found->widget), value);
  }
}

void GtkToolkit::writeNumberProperty(std::string_view control, int property, std::int64_t value) {
  Impl::Control* found = impl_->find(control);
  if (found == nullptr || found->form->kind != ControlKind::kBrowserBox) return;
  const int pixels = static_cast<int>(std::clamp<std::int64_t>(value, 0, 32767));
  if (property == property::kBrowserWidth) {
    found->width = pixels;
  } else if (property == property::kBrowserHeight) {
    found->height = pixels;
  } else {
    return;
  }
  impl_->resizeBrowserBox();
}

void GtkToolkit::navigate(std::string_view browserBox, const Text& address) {
  Impl::Control* found = impl_->find(browserBox);
  if (found == nullptr || found->form->kind != ControlKind::kBrowserBox) return;
  impl_->load(WEBKIT_WEB_VIEW(found->widget), address);
}

std::uintptr_t GtkToolkit::windowHandle() {
  if (impl_->window == nullptr) return 0;
  GdkWindow* gdkWindow = gtk_widget_get_window(impl_->window);
  if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) return 0;
  return static_cast<std::uintptr_t>(GDK_WINDOW_XID(gdkWindow));
}

void GtkToolkit::setWindowTransparency(std::uintptr_t handle, int alpha) {
  if (handle == 0 || handle != windowHandle()) return;
  gtk_widget_set_opacity(impl_->window, std::clamp(alpha, 0, 255) / 255.0);
}

// ---- Operations that any thread may call
// ---------------------------------------------------------

namespace {

GtkWidget* makeMessageBox(const Text& text, int style, const Text& title) {
  (void)style;  // the one style there is: an OK button and no icon
  GtkWidget* box =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_OTHER,
                             GTK_BUTTONS_OK, "%s", textToUtf8(text.view()).c_str());
  gtk_window_set_title(GTK_WINDOW(box), textToUtf8(title.view()).c_str());
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  // A message box keeps the size its text gives it, like the system's own boxes.
  gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
  return box;
}

}  // namespace

void GtkToolkit::messageBox(const Text& text, int style, const Text& title) {
  Impl* impl = impl_.get();
  if (std::this_thread::get_id() == impl->uiThread) {
    if (impl->windowClosed) return;
    GtkWidget* box = makeMessageBox(text, style, title);
    impl->openMessageBoxes.push_back(box);
    gtk_dialog_run(GTK_DIALOG(box));
    std::erase(impl->openMessageBoxes, box);
    gtk_widget_destroy(box);
    return;
  }
  // From a worker: the box lives on the user-interface thread, which goes on serving the main
  // window; only this worker waits for the user.
  runOnMainContextAndWait([impl, text, style, title](std::function<void()> done) {
    if (impl->windowClosed) return;  // the program is ending: this worker goes no further
    GtkWidget* box = makeMessageBox(text, style, title);
    impl->openMessageBoxes.push_back(box);
    auto* pending = new std::function<void()>(std::move(done));
    g_signal_connect(box, "response", G_CALLBACK(+[](GtkDialog* dialog, gint, gpointer) {
                       gtk_widget_destroy(GTK_WIDGET(dialog));
                     }),
                     nullptr);
    g_object_set_data_full(G_OBJECT(box), "tuvaro-done", pending,
                           [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    g_signal_connect(box, "destroy", G_CALLBACK(+[](GtkWidget* widget, Impl* self) {
                       std::erase(self->openMessageBoxes, widget);
                       // Closed by the user: the worker goes on. Closed because the program
                       // ends: it stays waiting and ends with the process.
                       if (self->windowClosed) return;
                       auto* finish = static_cast<std::function<void()>*>(
                           g_object_get_data(G_OBJECT(widget), "tuvaro-done"));
                       (*finish)();
                     }),
                     impl);
    gtk_widget_show_all(box);
  });
}

void GtkToolkit::openAddress(const Text& address) {
  const std::string uri = textToUtf8(address.view());
  const auto open = [uri] {
    g_autoptr(GError) error = nullptr;
    // The outcome is not examined: a desktop without a browser simply opens nothing.
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
  };
  if (std::this_thread::get_id() == impl_->uiThread) {
    open();
    return;
  }
  Impl* impl = impl_.get();
  runOnMainContextAndWait([impl, open](std::function<void()> done) {
    if (impl->windowClosed) return;
    open();
    done();
  });
}

void GtkToolkit::startThread(ThreadRoutine routine) {
  Impl* impl = impl_.get();
  ++impl->runningThreads;
  std::thread([impl, routine] {
    routine();
    --impl->runningThreads;
  }).detach();
}

bool GtkToolkit::threadsRunning() const { return impl_->runningThreads.load() > 0; }

void GtkToolkit::processPendingEvents() {
  if (std::this_thread::get_id() != impl_->uiThread) return;
  for (int i = 0; i < kMaxPendingEventsPerCall && g_main_context_pending(nullptr); ++i) {
    g_main_context_iteration(nullptr, FALSE);
  }
}

// ---- Window and control signals
// -------------------------------------------------------------------

void GtkToolkit::Impl::onWindowDestroy(GtkWidget*, Impl* self) {
  self->windowClosed = true;
  self->window = nullptr;
  self->controls.clear();
  self->browser = nullptr;
  self->browserControl = nullptr;
  // Message boxes of waiting workers go with the window; those workers stay waiting.
  const std::vector<GtkWidget*> boxes = self->openMessageBoxes;
  for (GtkWidget* box : boxes) gtk_widget_destroy(box);
  g_main_loop_quit(self->loop);
}

// Enter presses no button: no control is a default button, and a focused button does not
// take Enter either.
gboolean GtkToolkit::Impl::onWindowKeyPressEvent(GtkWidget* widget, GdkEventKey* event, Impl*) {
  const guint key = event->keyval;
  if (key != GDK_KEY_Return && key != GDK_KEY_KP_Enter && key != GDK_KEY_ISO_Enter) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
  return focus != nullptr && GTK_IS_BUTTON(focus);
}

// Runs after the focused control had its chance at the key.
gboolean GtkToolkit::Impl::onWindowKeyPressEventAfter(GtkWidget* widget, GdkEventKey* event,
                                                      Impl* self) {
  const guint modifiers = event->state & static_cast<guint>(gtk_accelerator_get_default_mod_mask());
  if (event->keyval == GDK_KEY_Escape && modifiers == 0 && self->form->escapeCloses) {
    gtk_window_close(GTK_WINDOW(widget));
    return TRUE;
  }
  return FALSE;
}

gboolean GtkToolkit::Impl::onLayoutDraw(GtkWidget* widget, cairo_t* cr, Impl* self) {
  if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(widget)))) {
    return FALSE;
  }
  const double width = gtk_widget_get_allocated_width(widget);
  const double height = gtk_widget_get_allocated_height(widget);
  GdkRGBA face{0.94, 0.94, 0.94, 1.0};
  gtk_style_context_lookup_color(gtk_widget_get_style_context(widget), "theme_bg_color", &face);
  gdk_cairo_set_source_rgba(cr, &face);
  cairo_paint(cr);

  GdkPixbuf* picture = self->background.get();
  if (picture == nullptr) return FALSE;
  const double pictureWidth = gdk_pixbuf_get_width(picture);
  const double pictureHeight = gdk_pixbuf_get_height(picture);
  // Shrunk to fit with its proportions kept, never enlarged.
  const double scale = std::min({1.0, width / pictureWidth, height / pictureHeight});
  cairo_save(cr);
  cairo_translate(cr, (width - pictureWidth * scale) / 2, (height - pictureHeight * scale) / 2);
  cairo_scale(cr, scale, scale);
  gdk_cairo_set_source_pixbuf(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
  return FALSE;
}

// The picture at its own size from the button's top-left corner, cut at its edges; the
// button's border (while hovered or pressed) and caption are drawn over it.
gboolean GtkToolkit::Impl::onImageButtonDraw(GtkWidget* widget, cairo_t* cr, Control* control) {
  if (!control->picture) return FALSE;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(widget),
                  gtk_widget_get_allocated_height(widget));
  cairo_clip(cr);
  gdk_cairo_set_source_pixbuf(cr, control->picture.get(), 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  return FALSE;
}

// The picture centred on the button and cut at its edges; pressed, it sinks by a pixel.
gboolean GtkToolkit::Impl::onPictureButtonDrawAfter(GtkWidget* widget, cairo_t* cr,
                                                    Control* control) {
  if (!control->picture) return FALSE;
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const bool pressed = (gtk_widget_get_state_flags(widget) & GTK_STATE_FLAG_ACTIVE) != 0;
  const int sink = pressed ? 1 : 0;
  const int x = (width - gdk_pixbuf_get_width(control->picture.get())) / 2 + sink;
  const int y = (height - gdk_pixbuf_get_height(control->picture.get())) / 2 + sink;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_clip(cr);
  gdk_cairo_set_source_pixbuf(cr, control->picture.get(), x, y);
  cairo_paint(cr);
  cairo_restore(cr);
  return FALSE;
}

void GtkToolkit::Impl::onButtonClicked(GtkButton*, Control* control) {
  if (control->form->onClicked != nullptr) control->form->onClicked();
}

// ---- The browser box's signals
// ----------------------------------------------------------------------

void GtkToolkit::Impl::connectBrowserSignals(WebKitWebView* view) {
  g_signal_connect(view, "create", G_CALLBACK(onCreate), this);
  g_signal_connect(view, "mouse-target-changed", G_CALLBACK(onMouseTargetChanged), this);
  g_signal_connect(view, "script-dialog", G_CALLBACK(onScriptDialog), this);
  g_signal_connect(view, "permission-request", G_CALLBACK(onPermissionRequest), this);
  g_signal_connect(view, "authenticate", G_CALLBACK(onAuthenticate), this);
  g_signal_connect(view, "run-file-chooser", G_CALLBACK(onRunFileChooser), this);
  g_signal_connect(view, "run-color-chooser", G_CALLBACK(onRunColorChooser), this);
  g_signal_connect(view, "print", G_CALLBACK(onPrint), this);
  g_signal_connect(view, "show-notification", G_CALLBACK(onShowNotification), this);
  g_signal_connect(view, "load-failed", G_CALLBACK(onLoadFailed), this);
  g_signal_connect(view, "key-press-event", G_CALLBACK(onKeyPressEvent), this);
  g_signal_connect(view, "button-press-event", G_CALLBACK(onButtonPressEvent), this);
}

// Raises event 9 with the address that the new window would open readable as property 13.
// Returns the handler's answer; no handler or no answer lets the window open.
bool GtkToolkit::Impl::raiseNewWindow(const Text& address) {
  if (browserControl == nullptr || browserControl->form->onNewWindow == nullptr) return true;
  newWindowAddress = address;
  const bool answer = browserControl->form->onNewWindow();
  newWindowAddress = Text();
  return answer;
}

// Every new-window request ends here: a link or form that targets a new window, a script's
// window.open, the context menu's "open link in new window". The program never opens a
// second window of its own: a window that the handler lets open goes to the desktop's browser.
GtkWidget* GtkToolkit::Impl::onCreate(WebKitWebView*, WebKitNavigationAction* action, Impl* self) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  const Text address = textFromUtf8(uri != nullptr ? uri : "");
  if (self->raiseNewWindow(address) && uri != nullptr && *uri != '\0') {
    g_autoptr(GError) error = nullptr;
    g_app_info_launch_default_for_uri(uri, nullptr, &error);
  }
  return nullptr;
}

// Records the status text: the hovered link's address, or nothing.
void GtkToolkit::Impl::onMouseTargetChanged(WebKitWebView*, WebKitHitTestResult* hit, guint,
                                            Impl* self) {
  const gchar* uri = webkit_hit_test_result_context_is_link(hit)
                         ? webkit_hit_test_result_get_link_uri(hit)
                         : nullptr;
  self->statusText = textFromUtf8(uri != nullptr ? uri : "");
}

// The box is silent: a page's dialogs are answered without showing any.
gboolean GtkToolkit::Impl::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, Impl*) {
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
      break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      break;  // no text given: the page's prompt gets no answer
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);  // the user's navigation goes on
      break;
  }
  return TRUE;
}

gboolean GtkToolkit::Impl::onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                               Impl*) {
  webkit_permission_request_deny(request);
  return TRUE;
}

gboolean GtkToolkit::Impl::onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                          Impl*) {
  webkit_authentication_request_cancel(request);
  return TRUE;
}

gboolean GtkToolkit::Impl::onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                            Impl*) {
  webkit_file_chooser_request_cancel(request);
  return TRUE;
}

gboolean GtkToolkit::Impl::onRunColorChooser(WebKitWebView*, WebKitColorChooserRequest* request,
                                             Impl*) {
  webkit_color_chooser_request_cancel(request);
  return TRUE;
}

gboolean GtkToolkit::Impl::onPrint(WebKitWebView*, WebKitPrintOperation*, Impl*) {
  return TRUE;  // no print dialog
}

gboolean GtkToolkit::Impl::onShowNotification(WebKitWebView*, WebKitNotification*, Impl*) {
  return TRUE;  // not shown
}

// A page that cannot be loaded shows a small page of ours instead of a blank box. Loads that
// were merely replaced by another, or stopped by a policy decision, are not failures.
gboolean GtkToolkit::Impl::onLoadFailed(WebKitWebView* view, WebKitLoadEvent,
                                        const gchar* failingUri, GError* error, Impl*) {
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      g_error_matches(error, WEBKIT_POLICY_ERROR,
                      WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD)) {
    return FALSE;
  }
  g_autofree gchar* escaped = g_markup_escape_text(failingUri != nullptr ? failingUri : "", -1);
  g_autofree gchar* page = g_strdup_printf(kLoadFailedPage, escaped);
  webkit_web_view_load_alternate_html(view, page, failingUri, nullptr);
  return TRUE;
}

// Alt+Left and Alt+Right go back and forward in the box.
gboolean GtkToolkit::Impl::onKeyPressEvent(GtkWidget* view, GdkEventKey* event, Impl*) {
  const guint modifiers = event->state & static_cast<guint>(gtk_accelerator_get_default_mod_mask());
  if (modifiers != GDK_MOD1_MASK) return FALSE;
  if (event->keyval == GDK_KEY_Left || event->keyval == GDK_KEY_KP_Left) {
    webkit_web_view_go_back(WEBKIT_WEB_VIEW(view));
    return TRUE;
  }
  if (event->keyval == GDK_KEY_Right || event->keyval == GDK_KEY_KP_Right) {
    webkit_web_view_go_forward(WEBKIT_WEB_VIEW(view));
    return TRUE;
  }
  return FALSE;
}

// The mouse's back and forward buttons (8 and 9 on X11) go back and forward in the box.
gboolean GtkToolkit::Impl::onButtonPressEvent(GtkWidget* view, GdkEventButton* event, Impl*) {
  if (event->type != GDK_BUTTON_PRESS) return FALSE;
  if (event->button == 8) {
    webkit_web_view_go_back(WEBKIT_WEB_VIEW(view));
    return TRUE;
  }
  if (event->button == 9) {
    webkit_web_view_go_forward(WEBKIT_WEB_VIEW(view));
    return TRUE;
  }
  return FALSE;
}

}  // namespace tuvaro::toolkit
