#include "registry/program_facts.h"

namespace registry {

ProgramFacts Describe(const platform::FileFacts& facts, platform::ProgramFiles& program_files) {
  if (!facts.exists) return {std::string(kNoFile), std::string(kNoFile), std::string(kNoFile)};
  ProgramFacts text;
  text.size = program_files.Grouped(facts.size) + " bytes";
  text.company = facts.company.value_or(std::string(kNoCompany));
  switch (facts.signature) {
    case platform::SignatureKind::Signed:
      text.signature = "Signed by " + facts.signer;
      break;
    case platform::SignatureKind::UntrustedSigner:
      text.signature = "Signed by " + facts.signer + ", but Windows does not trust the signer";
      break;
    case platform::SignatureKind::ChangedAfterSigning:
      text.signature = "Signed, but the file was changed after signing";
      break;
    case platform::SignatureKind::NotSigned:
      text.signature = "Not signed";
      break;
  }
  return text;
}

ProgramLookup LookupOn(platform::Platform platform) {
  return {platform.processes.WindowsFolder(), platform.processes.SystemFolder(),
          [&files = platform.program_files](const std::string& text) { return files.Expand(text); },
          [&files = platform.files](const std::string& path) { return files.Exists(path); }};
}

}  // namespace registry
