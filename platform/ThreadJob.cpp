#include "ThreadJob.h"

ThreadJob::~ThreadJob() = default;
