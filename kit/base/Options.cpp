#include "kit/base/Options.h"

#include <glib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace kit {

std::string programName(int argc, char** argv) {
  if (argc < 1 || !argv[0] || !*argv[0]) return "kit";
  const char* slash = std::strrchr(argv[0], '/');
  return slash ? slash + 1 : argv[0];
}

CommandLine parseCommandLine(int argc, char** argv, const std::vector<Option>& options,
                             const char* parameters, const char* summary, size_t maxArguments) {
  std::string program = programName(argc, argv);
  CommandLine line;
  auto fail = [&](const std::string& message) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", program.c_str(), message.c_str(),
                 program.c_str());
    line.exitStatus = 2;
    return line;
  };

  // GLib writes into its own types; the values are copied to the table's variables afterwards.
  gboolean help = FALSE;
  std::vector<gboolean> flags(options.size(), FALSE);
  std::vector<gchar*> texts(options.size(), nullptr);
  std::vector<GOptionEntry> entries;
  for (size_t i = 0; i < options.size(); ++i) {
    GOptionEntry entry{options[i].name,     0, 0, G_OPTION_ARG_NONE, &flags[i], options[i].help,
                       options[i].valueName};
    if (auto* number = std::get_if<double*>(&options[i].value)) {
      entry.arg = G_OPTION_ARG_DOUBLE;
      entry.arg_data = *number;
    } else if (std::holds_alternative<std::string*>(options[i].value)) {
      entry.arg = G_OPTION_ARG_STRING;
      entry.arg_data = &texts[i];
    }
    entries.push_back(entry);
  }
  entries.push_back({"help", 'h', 0, G_OPTION_ARG_NONE, &help, "Show this help and exit", nullptr});
  entries.push_back({});

  std::unique_ptr<GOptionContext, decltype(&g_option_context_free)> context(
      g_option_context_new(parameters), g_option_context_free);
  g_option_context_set_help_enabled(context.get(), FALSE);
  g_option_context_set_summary(context.get(), summary);
  g_option_context_add_main_entries(context.get(), entries.data(), nullptr);

  gchar** strv = g_new0(gchar*, static_cast<size_t>(argc) + 1);
  for (int i = 0; i < argc; ++i) strv[i] = g_strdup(argv[i]);
  GError* error = nullptr;
  bool parsed = g_option_context_parse_strv(context.get(), &strv, &error);
  for (gchar** rest = strv && *strv ? strv + 1 : strv; rest && *rest; ++rest) {
    line.arguments.push_back(*rest);
  }
  g_strfreev(strv);
  for (size_t i = 0; i < options.size(); ++i) {
    if (auto* flag = std::get_if<bool*>(&options[i].value); flag && flags[i]) **flag = true;
    if (auto* text = std::get_if<std::string*>(&options[i].value); text && texts[i]) {
      **text = texts[i];
    }
    g_free(texts[i]);
  }

  if (!parsed) {
    std::string message = error ? error->message : "cannot read the command line";
    g_clear_error(&error);
    return fail(message);
  }
  if (help) {
    gchar* text = g_option_context_get_help(context.get(), TRUE, nullptr);
    std::fputs(text, stdout);
    g_free(text);
    line.exitStatus = 0;
    return line;
  }
  if (line.arguments.size() > maxArguments)
    return fail("unexpected \"" + line.arguments[maxArguments] + "\"");
  return line;
}

}  // namespace kit
