/* The baseline for the start-up benchmark: the least a GTK + WebKitGTK program does to map
 * one window with one web view and a title. Esc or closing the window ends it. */
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

static gboolean on_key_press(GtkWidget* window, GdkEventKey* event, gpointer data) {
  (void)data;
  if (event->keyval == GDK_KEY_Escape) gtk_window_close(GTK_WINDOW(window));
  return FALSE;
}

int main(void) {
  gtk_init(NULL, NULL);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "baseline");
  gtk_window_set_default_size(GTK_WINDOW(window), 588, 580);
  gtk_container_add(GTK_CONTAINER(window), webkit_web_view_new());
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  g_signal_connect(window, "key-press-event", G_CALLBACK(on_key_press), NULL);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
