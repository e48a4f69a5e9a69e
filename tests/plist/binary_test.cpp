// placeholder until its owner lands it
