// The containers, cards, leaves and controls a view builds its tree from. Every property stays readable,
// so tests and the host can walk a tree and see exactly what a view asked for.
#pragma once

#include "kora_ui/cards.h"
#include "kora_ui/containers.h"
#include "kora_ui/control_widgets.h"
#include "kora_ui/leaves.h"
