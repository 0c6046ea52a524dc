#include "registry/program_of.h"

#include "platform/text.h"

namespace registry {

namespace {

std::string_view FileNameOf(std::string_view path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool LooksLikeProgram(std::string_view path) {
  for (std::string_view ext : {".exe", ".com", ".bat", ".cmd", ".dll", ".sys", ".scr", ".pif"})
    if (path.size() > ext.size() && platform::SameAsciiCaseless(path.substr(path.size() - ext.size()), ext)) return true;
  return false;
}

bool IsOption(std::string_view word) { return !word.empty() && (word.front() == '/' || word.front() == '-'); }

// A path as services, drivers and the Run keys write it, made whole.
std::string Resolved(std::string path, const ProgramLookup& lookup) {
  if (platform::StartsAsciiCaseless(path, "\\??\\")) path.erase(0, 4);
  if (platform::StartsAsciiCaseless(path, "\\SystemRoot\\"))
    return lookup.windows_folder + path.substr(std::string_view("\\SystemRoot").size());
  if (platform::StartsAsciiCaseless(path, "system32\\") || platform::StartsAsciiCaseless(path, "SysWOW64\\"))
    return lookup.windows_folder + "\\" + path;
  if (path.empty() || path.find_first_of("\\/:") != std::string::npos) return path;
  // A bare name: where Windows looks first for one of its own programs.
  const bool has_extension = FileNameOf(path).find('.') != std::string_view::npos;
  for (const std::string& folder : {lookup.system_folder, lookup.windows_folder}) {
    for (const std::string& name : {path, has_extension ? std::string() : path + ".exe"}) {
      if (name.empty()) continue;
      const std::string candidate = folder + "\\" + name;
      if (lookup.exists(candidate)) return candidate;
    }
  }
  return lookup.system_folder + "\\" + path;
}

// The program of an unquoted command whose path may hold blanks: the
// shortest run of words that names a file, as CreateProcess tries them.
// A file missing, the shortest run that ends like a program file does.
size_t ProgramWords(const std::vector<std::string>& words, const ProgramLookup& lookup, std::string& program) {
  std::string joined;
  size_t named = 0;
  for (size_t n = 0; n < words.size(); ++n) {
    joined += (n ? " " : "") + words[n];
    const std::string path = Resolved(joined, lookup);
    if (lookup.exists(path) || lookup.exists(path + ".exe")) {
      program = lookup.exists(path) ? path : path + ".exe";
      return n + 1;
    }
    if (!named && LooksLikeProgram(joined)) named = n + 1;
  }
  if (!named) named = 1;
  joined.clear();
  for (size_t n = 0; n < named; ++n) joined += (n ? " " : "") + words[n];
  program = Resolved(joined, lookup);
  return named;
}

}  // namespace

std::vector<std::string> CommandWords(std::string_view command) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, in_word = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string ProgramOf(std::string_view command, const ProgramLookup& lookup) {
  const std::string expanded = lookup.expand(std::string(command));
  const std::vector<std::string> words = CommandWords(expanded);
  if (words.empty()) return {};
  std::string program;
  const bool quoted = expanded.find_first_not_of(" \t") != std::string::npos &&
                      expanded[expanded.find_first_not_of(" \t")] == '"';
  const size_t used = quoted ? (program = Resolved(words.front(), lookup), 1) : ProgramWords(words, lookup, program);
  const std::vector<std::string> arguments(words.begin() + std::ptrdiff_t(used), words.end());

  // A list of DLLs, as AppInit_DLLs holds them: the first.
  for (size_t at = 0; (at = program.find(',', at)) != std::string::npos; ++at)
    if (at >= 4 && platform::SameAsciiCaseless(std::string_view(program).substr(at - 4, 4), ".dll")) {
      program.resize(at);
      break;
    }
  const std::string_view name = FileNameOf(program);
  auto payload = [&](std::string text) { return text.empty() ? program : Resolved(std::move(text), lookup); };
  if (platform::SameAsciiCaseless(name, "rundll32.exe") || platform::SameAsciiCaseless(name, "rundll32")) {
    // "rundll32.exe C:\x\evil.dll,Start": the DLL before the comma.
    for (const std::string& word : arguments) {
      if (IsOption(word)) continue;
      return payload(word.substr(0, word.find(',')));
    }
    return program;
  }
  if (platform::SameAsciiCaseless(name, "regsvr32.exe") || platform::SameAsciiCaseless(name, "regsvr32")) {
    for (auto word = arguments.rbegin(); word != arguments.rend(); ++word)
      if (!IsOption(*word)) return payload(*word);
    return program;
  }
  for (std::string_view host : {"mshta.exe", "wscript.exe", "cscript.exe"}) {
    if (!platform::SameAsciiCaseless(name, host) && !platform::SameAsciiCaseless(name, host.substr(0, host.size() - 4)))
      continue;
    for (const std::string& word : arguments)
      if (!IsOption(word)) return payload(word);
    return program;
  }
  return program;
}

}  // namespace registry
