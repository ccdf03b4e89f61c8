#pragma once

#define IDD_SWFPLAY 3000
