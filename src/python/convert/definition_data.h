// A prompt definition's map fields as new Python dicts, keys in sorted byte order at every level.
#pragma once

#include <Python.h>

#include "definition/prompt_definition.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

// Variable name to {"description" (only when present), "trusted", "type",
// "validation_required"}.
OwnedRef variables_dict(const core::PromptDefinition& definition);

// Variant name to {"body", "metadata" (only when not empty)}.
OwnedRef variants_dict(const core::PromptDefinition& definition);

// The metadata map; {} when there is none.
OwnedRef metadata_dict(const core::PromptDefinition& definition);

// Each returns an empty reference with ValueError "pythonize error: {}" set when the data has no
// Python form.

}  // namespace velloquin::python
