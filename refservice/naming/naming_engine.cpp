// Interface skeleton: the computation is being filled in; until then the engine
// reports itself not ready and every call answers kCodeEngineUnavailable.
#include "naming/naming_engine.h"

namespace norvane::refservice {

struct NamingEngine::Impl {
  std::string error = "naming engine not built yet";
};

EngineFiles EngineFiles::besideProgram(const std::string& programFolder) {
  return {programFolder + "/refservice", programFolder + "/local.dat"};
}

NamingEngine::NamingEngine(const EngineFiles&) : impl_(std::make_unique<Impl>()) {}
NamingEngine::~NamingEngine() = default;
bool NamingEngine::ready() const { return false; }
const std::string& NamingEngine::loadError() const { return impl_->error; }

static NamingResult unavailable(const std::string& why) {
  NamingResult r;
  r.code = kCodeEngineUnavailable;
  r.message = why;
  return r;
}
NamingResult NamingEngine::namePage(const NamePageRequest&) const { return unavailable(impl_->error); }
NamingResult NamingEngine::nicknamePage(const NicknamePageRequest&) const { return unavailable(impl_->error); }
NamingResult NamingEngine::analyse(const BirthQuestion&, const std::string&) const { return unavailable(impl_->error); }
NamingResult NamingEngine::analyseNickname(const BirthQuestion&, const std::string&) const { return unavailable(impl_->error); }
NamingResult NamingEngine::fortune(const std::string&, const std::string&) const { return unavailable(impl_->error); }

}  // namespace norvane::refservice
