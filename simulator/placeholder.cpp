// Simulated bench: implementation lands with the bench work.
