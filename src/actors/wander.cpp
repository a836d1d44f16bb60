// wander.cpp - random wandering of lizards, ogres and the boss.

#include "actors/wander.h"

#include <cstdlib>

#include "actors/roster.h"
#include "world/walk_grids.h"

void wanderOne(Character &actor, int32_t worldHeight, int32_t worldWidth)
{
    if (actor.stepCounter > wanderThrottle && actor.alive) {
        if (actor.wanderCounter <= wanderHold) {
            actor.wanderCounter += 1;
        } else {
            actor.wanderDirection = std::rand() % 4;
            actor.wanderCounter = 0;
        }
        if (wanderStepFree(actor.wanderDirection, actor.x, actor.y)) {
            switch (actor.wanderDirection) {
            case wanderDown: actor.moveDown(worldHeight, wanderStepPixels); break;
            case wanderLeft: actor.moveLeft(0, wanderStepPixels); break;
            case wanderRight: actor.moveRight(worldWidth, wanderStepPixels); break;
            case wanderUp: actor.moveUp(0, wanderStepPixels); break;
            default: break;
            }
        }
        actor.stepCounter = 0; // also after a blocked step
    } else if (actor.stepCounter < deadCounterCeiling) {
        // A dead actor's counter stops at the ceiling instead of overflowing.
        actor.stepCounter += 1;
    }
}

void wanderEnemies(int32_t worldHeight, int32_t worldWidth)
{
    for (Character &lizard : lizards)
        wanderOne(lizard, worldHeight, worldWidth);
    for (Character &ogre : ogres)
        wanderOne(ogre, worldHeight, worldWidth);
    wanderOne(boss, worldHeight, worldWidth);
}
