#include "store/connection_worker.hpp"

namespace vardex {

struct ConnectionWorker::Shared {};

ConnectionWorker::ConnectionWorker(std::string, MainQueue&, const RunningFlag&, Effects) {}

ConnectionWorker::~ConnectionWorker() = default;

}  // namespace vardex
