"""Case tables for the differential check, one module per family group."""
