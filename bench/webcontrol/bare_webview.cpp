// The baseline of the page-load benchmark: the least a program needs to show a page in a web
// view of its own process. It writes one line to standard output when the page has loaded and
// lives until its standard input closes.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    gtk_init(&argc, &argv);
    const std::string data = argv[2];
    WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
        "base-data-directory", data.c_str(), "base-cache-directory", data.c_str(), nullptr);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    GtkWidget* view = webkit_web_view_new_with_context(context);
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer) {
                         if (event == WEBKIT_LOAD_FINISHED) {
                             std::puts("loaded");
                             std::fflush(stdout);
                         }
                     }),
                     nullptr);
    gtk_widget_show_all(window);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    GIOChannel* in = g_io_channel_unix_new(0);
    g_io_add_watch(in, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                   +[](GIOChannel*, GIOCondition, gpointer) -> gboolean {
                       gtk_main_quit();
                       return G_SOURCE_REMOVE;
                   },
                   nullptr);
    gtk_main();
    return 0;
}
