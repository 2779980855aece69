// The topic the topic form (procedure 210) opens on. The form is started
// through SemaFore and takes its topic from the Codes record buffer, as the
// system's procedures hand records to one another; these two calls are the
// only ones that touch that buffer for it.
#pragma once

#include "services/topics.h"

namespace qv {

// Puts a topic into the buffer for the form; Topic{} for a new one.
void putTopicForForm(const Topic& t);
// The topic the buffer holds for the form.
Topic topicOfForm();

}  // namespace qv
